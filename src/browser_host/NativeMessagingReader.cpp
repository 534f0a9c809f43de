#include "browser_host/NativeMessagingReader.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace korvalen {

namespace {

constexpr qsizetype prefixSize = sizeof(quint32);

} // namespace

NativeMessagingReader::NativeMessagingReader(int fileDescriptor, QObject* parent)
    : QObject(parent)
    , m_fileDescriptor(fileDescriptor)
    , m_notifier(fileDescriptor, QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &NativeMessagingReader::readAvailable);
}

void NativeMessagingReader::readAvailable()
{
    // One read per notification: the descriptor is readable, so it does not block, and the
    // event loop stays free for the connection to Korvalen.
    char chunk[16 * 1024];
    const ssize_t count = ::read(m_fileDescriptor, chunk, sizeof chunk);
    if (count < 0) {
        if (errno != EINTR && errno != EAGAIN)
            finish(false);
        return;
    }
    if (count == 0) {
        finish(m_buffer.isEmpty());
        return;
    }
    m_buffer.append(chunk, count);
    while (m_buffer.size() >= prefixSize) {
        quint32 size = 0;
        std::memcpy(&size, m_buffer.constData(), prefixSize);
        // Judged before anything is kept of it: the length alone never makes the host allocate.
        if (size > maximumMessageSize) {
            finish(false);
            return;
        }
        if (m_buffer.size() < prefixSize + qsizetype(size))
            return;
        const QByteArray message = m_buffer.sliced(prefixSize, size);
        m_buffer.remove(0, prefixSize + size);
        Q_EMIT messageReceived(message);
    }
}

void NativeMessagingReader::finish(bool complete)
{
    m_notifier.setEnabled(false);
    m_buffer.clear();
    Q_EMIT finished(complete);
}

} // namespace korvalen
