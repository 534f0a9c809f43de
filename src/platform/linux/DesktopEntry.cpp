#include "platform/linux/DesktopEntry.h"

#include <QFile>
#include <QStringList>

namespace korvalen {

namespace {

// Real desktop entries are a few kilobytes; anything far larger is not one, and reading it would
// only cost memory and time.
constexpr qint64 maximumFileSize = 1024 * 1024;

const QString mainGroup = QStringLiteral("Desktop Entry");

QString unescaped(const QString& raw)
{
    QString text;
    text.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c != u'\\' || i + 1 == raw.size()) {
            text.append(c);
            continue;
        }
        switch (raw.at(++i).unicode()) {
        case u's':
            text.append(u' ');
            break;
        case u'n':
            text.append(u'\n');
            break;
        case u't':
            text.append(u'\t');
            break;
        case u'r':
            text.append(u'\r');
            break;
        case u'\\':
            text.append(u'\\');
            break;
        default: // not an escape the format knows: keep it as written
            text.append(c);
            text.append(raw.at(i));
        }
    }
    return text;
}

// The entries of the main group, parsed from the text of a whole file; none without that group.
std::optional<QHash<QString, QString>> mainGroupEntries(const QString& text)
{
    QHash<QString, QString> entries;
    bool inMainGroup = false;
    bool hasMainGroup = false;
    const QStringList lines = text.split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            const bool wellFormed = line.endsWith(u']');
            inMainGroup = wellFormed && line.sliced(1, line.size() - 2) == mainGroup;
            hasMainGroup = hasMainGroup || inMainGroup;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || equals <= 0)
            continue;
        // Blanks around "=" are not part of the key or the value.
        const QString key = line.first(equals).trimmed();
        if (key.isEmpty() || entries.contains(key))
            continue;
        QString value = line.sliced(equals + 1);
        qsizetype leadingBlanks = 0;
        while (leadingBlanks < value.size() && value.at(leadingBlanks).isSpace())
            ++leadingBlanks;
        entries.insert(key, value.sliced(leadingBlanks));
    }
    if (!hasMainGroup)
        return std::nullopt;
    return entries;
}

} // namespace

DesktopEntry::DesktopEntry(QString path, QString applicationID, QHash<QString, QString> rawValues)
    : m_path(std::move(path))
    , m_applicationID(std::move(applicationID))
    , m_rawValues(std::move(rawValues))
{
}

std::optional<DesktopEntry> DesktopEntry::read(const QString& path, const QString& desktopFileID)
{
    // The size comes from the open file rather than from a second walk along the path, and the
    // read asks for exactly that much: the application pickers read thousands of entries at once.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || file.size() > maximumFileSize)
        return std::nullopt;
    auto entries = mainGroupEntries(QString::fromUtf8(file.read(file.size())));
    if (!entries)
        return std::nullopt;
    return DesktopEntry(path, applicationIDOf(desktopFileID), std::move(*entries));
}

QString DesktopEntry::desktopFileIDOf(const QString& relativePath)
{
    return QString(relativePath).replace(u'/', u'-');
}

QString DesktopEntry::applicationIDOf(const QString& desktopFileID)
{
    return desktopFileID.endsWith(fileSuffix) ? desktopFileID.chopped(fileSuffix.size())
                                              : desktopFileID;
}

QString DesktopEntry::messagesLocale()
{
    QString locale;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = qEnvironmentVariable(variable);
        if (!locale.isEmpty())
            break;
    }
    if (locale == u"C" || locale == u"POSIX")
        return locale;
    // The user's languages in order of preference, e.g. "de_AT:de:en".
    const QStringList languages = qEnvironmentVariable("LANGUAGE").split(u':', Qt::SkipEmptyParts);
    return languages.isEmpty() ? locale : languages.first();
}

std::optional<QString> DesktopEntry::value(const QString& key) const
{
    const auto found = m_rawValues.constFind(key);
    if (found == m_rawValues.constEnd())
        return std::nullopt;
    return unescaped(*found);
}

std::optional<QString> DesktopEntry::localizedValue(const QString& key, const QString& locale) const
{
    // lang_COUNTRY.ENCODING@MODIFIER: the encoding plays no part in matching.
    QString language = locale;
    QString modifier;
    if (const qsizetype at = language.indexOf(u'@'); at >= 0) {
        modifier = language.sliced(at);
        language.truncate(at);
    }
    if (const qsizetype dot = language.indexOf(u'.'); dot >= 0)
        language.truncate(dot);
    QString country;
    if (const qsizetype underscore = language.indexOf(u'_'); underscore >= 0) {
        country = language.sliced(underscore);
        language.truncate(underscore);
    }

    QStringList candidates;
    if (!language.isEmpty()) {
        if (!country.isEmpty() && !modifier.isEmpty())
            candidates << language + country + modifier;
        if (!country.isEmpty())
            candidates << language + country;
        if (!modifier.isEmpty())
            candidates << language + modifier;
        candidates << language;
    }
    for (const QString& candidate : std::as_const(candidates)) {
        if (auto localized = value(key + u'[' + candidate + u']'))
            return localized;
    }
    return value(key);
}

} // namespace korvalen
