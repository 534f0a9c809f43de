#pragma once

#include "platform/InfoPlist.h"

namespace korvalen::BinaryPropertyList {

// The text values of the top-level dictionary of a property list in the binary form, parsed by
// Core Foundation; none when the bytes are no property list, or one without a dictionary at the
// top. Fits InfoPlist::BinaryReader.
std::optional<InfoPlist::Texts> dictionaryTexts(const QByteArray& contents);

} // namespace korvalen::BinaryPropertyList
