#pragma once

#include "FuzzTarget.h"
#include "support/JsonRecords.h"

namespace korvalen::fuzz {

// Records loaded from stored settings are saved again as they are: what is saved must load back
// equal, or a record would change or vanish at the next start.
template <typename Record>
void requireRecordsRoundTrip(const QList<Record>& records)
{
    const auto again = decodeJsonRecords<Record>(encodeJsonRecords(records));
    require(again.has_value(), "saved records load again");
    require(*again == records, "saved records load back equal");
}

} // namespace korvalen::fuzz
