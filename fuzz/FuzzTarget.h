#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares. A target defines only LLVMFuzzerTestOneInput; the Qt application
// object that Qt's classes expect exists before the first input (FuzzTarget.cpp).
namespace korvalen::fuzz {

// The input as Qt bytes, without a copy: valid only during the call.
inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A folder for the files that code under test reads, removed at exit; in memory (tmpfs) where the
// system has one, since a disk writes back a file rewritten in place at each close, which would
// cost milliseconds per input.
const QString& scratchFolder();

// An invariant the code under test must keep. A broken one aborts like a crash, so that
// libFuzzer saves the input (and prints it) and the run fails.
void require(bool holds, const char* invariant);

} // namespace korvalen::fuzz
