#include "app/Bundle.h"

#include "app/StringsTable.h"

#include <QDir>
#include <QFileInfo>

namespace korvalen {

namespace {
const QString localizationSuffix = QStringLiteral(".lproj");
}

std::optional<Bundle> Bundle::open(const QString& path)
{
    if (!QFileInfo(path).isDir())
        return std::nullopt;
    return Bundle(path);
}

QStringList Bundle::localizations() const
{
    QStringList codes;
    const QStringList folders = QDir(m_path).entryList(
        {u'*' + localizationSuffix}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& folder : folders)
        codes.append(folder.chopped(localizationSuffix.size()));
    return codes;
}

std::optional<Bundle> Bundle::localizationBundle(const QString& languageCode) const
{
    return open(QDir(m_path).filePath(languageCode + localizationSuffix));
}

QString Bundle::localizedString(const QString& text) const
{
    const auto table =
        StringsTable::fromFile(QDir(m_path).filePath(QStringLiteral("Localizable.strings")));
    if (!table)
        return text;
    return table->value(text).value_or(text);
}

} // namespace korvalen
