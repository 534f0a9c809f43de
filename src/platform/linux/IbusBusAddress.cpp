#include "platform/linux/IbusBusAddress.h"

#include <QDir>
#include <QFile>

#include <signal.h>

using namespace Qt::Literals::StringLiterals;

namespace korvalen {

namespace {

// The D-Bus machine id, read from the files IBus reads, in its order, with its fallback.
QString readMachineID()
{
    for (const QString& path : {u"/var/lib/dbus/machine-id"_s, u"/etc/machine-id"_s}) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            return QString::fromLatin1(file.readAll().trimmed());
    }
    return u"machine-id"_s;
}

const QString& machineID()
{
    static const QString id = readMachineID();
    return id;
}

// "<host>-<display number>" for an X display name such as "host:1.0"; the screen number does not
// count, and a name without a host is on "unix".
QString displayPart(const QString& display)
{
    const qsizetype colon = display.indexOf(u':');
    QString host = colon < 0 ? display : display.left(colon);
    const QString number = colon < 0 ? u"0"_s : display.mid(colon + 1).section(u'.', 0, 0);
    if (host.isEmpty())
        host = u"unix"_s;
    return host + u'-' + number;
}

struct AddressFile {
    QString address;
    qint64 pid = -1;
};

std::optional<AddressFile> readAddressFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    constexpr QByteArrayView addressKey = "IBUS_ADDRESS=";
    constexpr QByteArrayView pidKey = "IBUS_DAEMON_PID=";
    AddressFile contents;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith(addressKey))
            contents.address = QString::fromUtf8(line.mid(addressKey.size()));
        else if (line.startsWith(pidKey))
            contents.pid = line.mid(pidKey.size()).toLongLong();
    }
    return contents;
}

bool processLives(qint64 pid)
{
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
        return false;
    // A process that ended but was not yet waited for still takes signals; its state tells.
    QFile status(u"/proc/%1/stat"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = status.readLine();
    const qsizetype endOfName = line.lastIndexOf(')');
    const char state = endOfName >= 0 && line.size() > endOfName + 2 ? line.at(endOfName + 2) : '?';
    return state != 'Z' && state != 'X';
}

} // namespace

QString IbusBusAddress::busFolder()
{
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = QDir::home().filePath(u".config"_s);
    return QDir(configHome).filePath(u"ibus/bus"_s);
}

QStringList IbusBusAddress::addressFiles()
{
    const QString addressFile = qEnvironmentVariable("IBUS_ADDRESS_FILE");
    if (!addressFile.isEmpty())
        return {addressFile};

    // The daemon writes one file for each display it was started with; a client looks for the
    // Wayland display's first.
    QStringList displayParts;
    const QString waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (!waylandDisplay.isEmpty())
        displayParts.append(u"unix-"_s + waylandDisplay);
    const QString display = qEnvironmentVariable("DISPLAY");
    if (!display.isEmpty())
        displayParts.append(displayPart(display));
    if (displayParts.isEmpty())
        displayParts.append(u"unix-0"_s);

    const QDir folder(busFolder());
    const QString prefix = machineID() + u'-';
    QStringList files;
    for (const QString& part : std::as_const(displayParts))
        files.append(folder.filePath(prefix + part));
    return files;
}

std::optional<IbusBusAddress> IbusBusAddress::current()
{
    const QString fromEnvironment = qEnvironmentVariable("IBUS_ADDRESS");
    if (!fromEnvironment.isEmpty())
        return IbusBusAddress{fromEnvironment, std::nullopt};

    // A file outlives its daemon: only one whose writer still runs gives the address.
    for (const QString& path : addressFiles()) {
        const std::optional<AddressFile> file = readAddressFile(path);
        if (file && !file->address.isEmpty() && processLives(file->pid))
            return IbusBusAddress{file->address, file->pid};
    }
    return std::nullopt;
}

bool IbusBusAddress::writerRuns() const
{
    return pid && processLives(*pid);
}

} // namespace korvalen
