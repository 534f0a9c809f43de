#pragma once

#include "input/InputSource.h"
#include "platform/TextInputSources.h"

#include <QList>
#include <QString>

#include <optional>

namespace korvalen {

// The catalogue of the platform's keyboard input sources and switching between them. Keeps no
// state: every call asks the platform afresh, so sources the user enables or disables show up or
// vanish at the next call.
namespace InputSourceManager {

// The record of a source the user can switch to with the keyboard: select-capable, of the
// keyboard category and with a non-empty identifier. The identifier stands in for a missing or
// empty name.
std::optional<InputSource> makeInputSource(const TextInputSources& platform,
                                           const TextInputSources::Handle& from);

// The enabled sources that make a record, in the platform's order, duplicates included.
QList<InputSource> selectableKeyboardSources(TextInputSources& platform);

// The current keyboard input source; none when the platform cannot tell or the current source
// would not make a record.
std::optional<InputSource> currentSource(TextInputSources& platform);

// Switches to the first selectable source whose identifier is exactly `id`; true when the
// platform accepted the request. The platform is not asked when no such source is enabled. The
// change itself arrives later, as the platform's change notification.
bool select(TextInputSources& platform, const QString& id);

} // namespace InputSourceManager

} // namespace korvalen
