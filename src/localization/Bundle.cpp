#include "localization/Bundle.h"

#include "localization/StringsTable.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace korvalen {

namespace {

const QString localizationSuffix = QStringLiteral(".lproj");

// The string table in a file, parsed again only when the file has changed since it was last
// read: every text shown is looked up afresh, and a menu or window shows dozens at a time.
// The main thread alone looks texts up.
std::optional<StringsTable> stringsTableIn(const QString& path)
{
    struct Reading {
        QDateTime modified;
        qint64 size = -1;
        std::optional<StringsTable> table;
    };
    static QHash<QString, Reading> readings;
    const QFileInfo file(path);
    if (!file.isFile()) {
        readings.remove(path);
        return std::nullopt;
    }
    Reading& reading = readings[path];
    if (reading.size != file.size() || reading.modified != file.lastModified() || !reading.table)
        reading = {file.lastModified(), file.size(), StringsTable::fromFile(path)};
    return reading.table;
}

} // namespace

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
    const auto table = stringsTableIn(QDir(m_path).filePath(QStringLiteral("Localizable.strings")));
    if (!table)
        return text;
    return table->value(text).value_or(text);
}

} // namespace korvalen
