#include "browser_host/NativeMessagingWriter.h"
#include "support/WriteAll.h"

#include <csignal>
#include <cstring>

namespace korvalen {

NativeMessagingWriter::NativeMessagingWriter(int fileDescriptor)
    : m_fileDescriptor(fileDescriptor)
{
    // A browser that has gone away must not end the host in the middle of a write: the end of
    // its input ends the host, with the exit status that says so.
    std::signal(SIGPIPE, SIG_IGN);
}

bool NativeMessagingWriter::write(const QByteArray& message)
{
    const quint32 size = quint32(message.size());
    QByteArray frame(sizeof size, Qt::Uninitialized);
    std::memcpy(frame.data(), &size, sizeof size);
    frame += message;
    return writeAll(m_fileDescriptor, frame);
}

} // namespace korvalen
