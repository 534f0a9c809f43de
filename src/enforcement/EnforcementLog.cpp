#include "enforcement/EnforcementLog.h"
#include "support/WriteAll.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvalen {

namespace {

// A regular file, owned by us, with no other name that could lead elsewhere.
bool isOurOwnPlainFile(const struct stat& info)
{
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_nlink == 1;
}

// The file at the path, opened for appending, with what it is in `info`; -1 unless it is ours.
int openOurOwnPlainFile(const QByteArray& path, struct stat& info)
{
    // O_NONBLOCK keeps a FIFO planted at the path from holding us up; O_NOFOLLOW refuses links.
    const int file =
        ::open(path.constData(),
               O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (file >= 0 && (::fstat(file, &info) != 0 || !isOurOwnPlainFile(info))) {
        ::close(file);
        return -1;
    }
    return file;
}

// Whether the open file, described in `info`, is still ours and still the one the path names: a
// log removed, moved aside (by another instance's rotation) or replaced is noticed at the price
// of two stats rather than an open and a close per write.
bool isStillTheFileAt(int file, const QByteArray& path, struct stat& info)
{
    struct stat named {};
    return ::fstat(file, &info) == 0 && isOurOwnPlainFile(info) &&
           ::lstat(path.constData(), &named) == 0 && named.st_dev == info.st_dev &&
           named.st_ino == info.st_ino;
}

} // namespace

EnforcementLog::EnforcementLog(QString path, const Clock& clock, qint64 rotationSize)
    : m_path(std::move(path))
    , m_clock(clock)
    , m_rotationSize(rotationSize)
{
}

EnforcementLog::~EnforcementLog()
{
    closeFile();
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
    const QByteArray bytes = lines.toUtf8();
    if (const int file = fileFor(bytes.size()); file >= 0 && !writeAll(file, bytes))
        closeFile();
}

int EnforcementLog::fileFor(qsizetype bytes) const
{
    const QByteArray path = QFile::encodeName(m_path);
    struct stat info {};
    if (m_file >= 0 && !isStillTheFileAt(m_file, path, info))
        closeFile();
    if (m_file < 0)
        m_file = openOurOwnPlainFile(path, info);
    // Renaming never follows a link planted at the new name, and in a sticky folder it fails
    // rather than replace another user's file; the log then just goes on growing.
    if (m_file >= 0 && info.st_size > 0 && info.st_size + bytes > m_rotationSize &&
        ::rename(path.constData(), QByteArray(path + ".old").constData()) == 0) {
        closeFile();
        m_file = openOurOwnPlainFile(path, info);
    }
    return m_file;
}

void EnforcementLog::closeFile() const
{
    if (m_file >= 0)
        ::close(m_file);
    m_file = -1;
}

} // namespace korvalen
