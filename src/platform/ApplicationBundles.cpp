#include "platform/ApplicationBundles.h"

#include <QDir>

namespace korvalen {

QString ApplicationBundles::entryPath(const QString& folder, const QString& entryName)
{
    // cleanPath drops a folder's trailing separator, so "/" and "Applications" give
    // "/Applications", not "//Applications".
    return QDir::cleanPath(folder + u'/' + entryName);
}

} // namespace korvalen
