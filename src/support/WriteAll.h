#pragma once

#include <QByteArray>

namespace korvalen {

// Writes all of the bytes to the file descriptor, going on after short writes and interrupted
// calls; false when a write fails.
bool writeAll(int fileDescriptor, const QByteArray& bytes);

} // namespace korvalen
