#include "enforcement/EnforcementLog.h"
#include "support/WriteAll.h"

#include <QFile>
#include <QTimeZone>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvalen {

namespace {

// A regular file, owned by us, with no other name that could lead elsewhere.
bool isOurOwnPlainFile(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
           info.st_nlink == 1;
}

} // namespace

EnforcementLog::EnforcementLog(QString path, const Clock& clock)
    : m_path(std::move(path))
    , m_clock(clock)
{
}

void EnforcementLog::write(const QString& message) const
{
    const QString stamp =
        m_clock.now().toTimeZone(QTimeZone::utc()).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QByteArray line = (u'[' + stamp + QStringLiteral(" +0000] ") + message + u'\n').toUtf8();

    // O_NONBLOCK keeps a FIFO planted at the path from holding us up; O_NOFOLLOW refuses links.
    const int fd =
        ::open(QFile::encodeName(m_path).constData(),
               O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (isOurOwnPlainFile(fd))
        writeAll(fd, line);
    ::close(fd);
}

} // namespace korvalen
