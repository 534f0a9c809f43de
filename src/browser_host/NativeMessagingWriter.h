#pragma once

#include <QByteArray>

namespace korvalen {

// Writes messages to the browser the way it reads them from its native messaging host: a 32-bit
// length in the machine's byte order, then the UTF-8 JSON.
class NativeMessagingWriter {
public:
    explicit NativeMessagingWriter(int fileDescriptor);

    // False when the browser no longer reads.
    bool write(const QByteArray& message);

private:
    int m_fileDescriptor;
};

} // namespace korvalen
