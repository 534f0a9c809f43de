#pragma once

#include "platform/TextInputSources.h"

#include <QHashFunctions>
#include <QString>

namespace korvalen {

// One selectable keyboard input source. The record holds a counted reference to the platform's
// source, so the source stays readable (for its icon, say) for as long as any copy of the record
// lives. Two records are the same source when their identifiers are equal, whatever their names
// or handles.
struct InputSource {
    QString id; // e.g. "xkb:de(nodeadkeys)"
    QString localizedName;
    TextInputSources::Handle raw;

    friend bool operator==(const InputSource& a, const InputSource& b) { return a.id == b.id; }
};

inline size_t qHash(const InputSource& source, size_t seed = 0)
{
    return qHash(source.id, seed);
}

} // namespace korvalen
