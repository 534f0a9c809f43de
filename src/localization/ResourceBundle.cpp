#include "localization/ResourceBundle.h"

#include <QCoreApplication>
#include <QDir>

namespace korvalen {

QStringList resourceBundleLocations()
{
    const QDir programFolder(QCoreApplication::applicationDirPath());
    return {QDir::cleanPath(programFolder.filePath(QStringLiteral(KORVALEN_INSTALLED_BUNDLE))),
            QStringLiteral(KORVALEN_BUILD_TREE_BUNDLE)};
}

std::optional<Bundle> findResourceBundle(const QStringList& locations, QTextStream& errors)
{
    for (const QString& location : locations) {
        if (auto bundle = Bundle::open(location))
            return bundle;
    }
    errors << "could not load resource bundle: from " << locations.join(QStringLiteral(" or "))
           << "\n";
    errors.flush();
    return std::nullopt;
}

const std::optional<Bundle>& resourceBundle()
{
    static const std::optional<Bundle> bundle = [] {
        QTextStream errors(stderr);
        return findResourceBundle(resourceBundleLocations(), errors);
    }();
    return bundle;
}

} // namespace korvalen
