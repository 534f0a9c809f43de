#include "platform/linux/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

// Exec quoting of the desktop entry format: inside double quotes, the characters ", `, $ and a
// are escaped with a backslash; desktop entry values escape the backslash once more.
QString execArgument(const QString& path)
{
    QString quoted;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return u'"' + quoted.replace(u'\\', u"\\\\"_s) + u'"';
}

} // namespace

XdgAutostart XdgAutostart::forCurrentUser(const QString& programPath)
{
    return XdgAutostart(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                            u"/autostart/"_s + applicationID + u".desktop"_s,
                        programPath);
}

XdgAutostart::XdgAutostart(QString entryPath, QString programPath)
    : m_entryPath(std::move(entryPath))
    , m_programPath(std::move(programPath))
{
}

bool XdgAutostart::startsAtLogin() const
{
    return QFileInfo(m_entryPath).isFile();
}

bool XdgAutostart::setStartsAtLogin(bool starts)
{
    if (!starts)
        return !QFileInfo::exists(m_entryPath) || QFile::remove(m_entryPath);
    if (!QDir().mkpath(QFileInfo(m_entryPath).path()))
        return false;
    // Written whole or not at all: a session never starts from half an entry.
    QSaveFile entry(m_entryPath);
    if (!entry.open(QIODevice::WriteOnly))
        return false;
    entry.write("[Desktop Entry]\n"
                "Type=Application\n"
                "Name=Korvalen\n"
                "Comment=Keeps the keyboard input source right for each app and website\n"
                "Exec=" +
                execArgument(m_programPath).toUtf8() +
                "\n"
                "Icon=" +
                applicationID.toUtf8() +
                "\n"
                "Terminal=false\n"
                "NoDisplay=true\n"
                "X-GNOME-Autostart-enabled=true\n");
    return entry.commit();
}

} // namespace korvalen
