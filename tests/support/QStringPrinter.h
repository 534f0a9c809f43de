#pragma once

#include <QString>

#include <ostream>

// Lets GoogleTest show texts as UTF-8 in failure messages instead of as raw bytes. Found by
// argument-dependent lookup, so it lives in QString's (the global) namespace.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
