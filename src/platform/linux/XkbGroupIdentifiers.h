#pragma once

#include <QByteArray>
#include <QStringList>
#include <QStringView>

namespace korvalen {

// The input source identifier of each XKB layout group, in group order: "xkb:" and the layout,
// followed by the variant in parentheses when the group has one ("xkb:us", "xkb:de(nodeadkeys)").
// A group without a known layout gets an empty text.

// From the name of the loaded keymap's symbols, which keymap compilers set to the symbols they
// included, e.g. "pc+us+de(nodeadkeys):2+inet(evdev)": a layout and its variant per group, the
// group given by the ":N" suffix (none meaning the first), among the keyboard model's and the
// options' symbols. Empty when the name names no layout (a keymap written out in full).
QStringList xkbGroupIdentifiersFromSymbols(QStringView symbolsName);

// From the value of the root window property _XKB_RULES_NAMES: the rules, model, layouts,
// variants and options, each ended by a NUL byte, with the layouts and variants listed per group
// and separated by commas. It says what was last asked of the rules, which is what is loaded
// only until someone loads a keymap without them.
QStringList xkbGroupIdentifiersFromRulesNames(const QByteArray& rulesNames);

} // namespace korvalen
