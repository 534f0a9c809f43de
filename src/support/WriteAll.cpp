#include "support/WriteAll.h"

#include <cerrno>
#include <unistd.h>

namespace korvalen {

bool writeAll(int fileDescriptor, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fileDescriptor, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

} // namespace korvalen
