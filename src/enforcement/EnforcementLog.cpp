#include "enforcement/EnforcementLog.h"
#include "support/WriteAll.h"

#include <QFile>

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

void EnforcementLog::write(const QStringList& messages) const
{
    if (messages.isEmpty())
        return;
    const QDateTime now = m_clock.now().toUTC();
    if (const qint64 second = now.toSecsSinceEpoch(); second != m_stampSecond) {
        m_stamp = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        m_stampSecond = second;
    }
    const QString prefix = u'[' + m_stamp + QStringLiteral(" +0000] ");
    QString lines;
    for (const QString& message : messages)
        lines += prefix + message + u'\n';

    // O_NONBLOCK keeps a FIFO planted at the path from holding us up; O_NOFOLLOW refuses links.
    const int fd =
        ::open(QFile::encodeName(m_path).constData(),
               O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (isOurOwnPlainFile(fd))
        writeAll(fd, lines.toUtf8());
    ::close(fd);
}

} // namespace korvalen
