#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

namespace korvalen {

// Reads the messages a browser sends its native messaging host: each one a 32-bit length in
// the machine's byte order, then that many bytes of UTF-8 JSON.
class NativeMessagingReader : public QObject {
    Q_OBJECT

public:
    // Far more than the extension ever sends; a longer message is taken for a broken stream.
    static constexpr quint32 maximumMessageSize = 64 * 1024;

    explicit NativeMessagingReader(int fileDescriptor, QObject* parent = nullptr);

Q_SIGNALS:
    void messageReceived(const QByteArray& message);
    // Nothing more is read. Complete when the input ended between two messages, as it does
    // when the browser closes the port; otherwise it ended inside one, failed or announced one
    // longer than the maximum.
    void finished(bool complete);

private:
    void readAvailable();
    void finish(bool complete);

    int m_fileDescriptor;
    QSocketNotifier m_notifier;
    QByteArray m_buffer;
};

} // namespace korvalen
