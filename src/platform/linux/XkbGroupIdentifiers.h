#pragma once

#include <QByteArray>
#include <QStringList>

namespace korvalen {

// The input source identifier of each XKB layout group, in group order: "xkb:" and the layout,
// followed by the variant in parentheses when the group has one ("xkb:us", "xkb:de(nodeadkeys)").
// `rulesNames` is the value of the root window property _XKB_RULES_NAMES: the rules, model,
// layouts, variants and options, each ended by a NUL byte, with the layouts and variants listed
// per group and separated by commas. A group without a layout gets an empty text.
QStringList xkbGroupIdentifiers(const QByteArray& rulesNames);

} // namespace korvalen
