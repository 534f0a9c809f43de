#pragma once

#include "platform/UserDefaults.h"
#include "platform/sim/SimulatedTextInputSources.h"
#include "rules/AppRule.h"
#include "rules/WebsiteRule.h"

#include <QList>
#include <QString>

namespace korvalen::bench {

// Keyboard layouts as XKB names them ("xkb:us", "xkb:ru", "xkb:de", …; at most 20), enabled in
// this order; the first is current.
QList<TextInputSources::Handle> addKeyboardLayouts(SimulatedTextInputSources& sources, int count);
QString layoutID(int i);

// The rule of generated application i, and one for the website "site<i>.example.org": even ones
// want the first layout, odd ones the second, so that going from one to the next switches.
AppRule appRule(int i);
WebsiteRule websiteRule(int i);
QString websiteDomain(int i);

// The first appRules application rules and websiteRules website rules, stored as the settings
// file keeps them: a store made afterwards loads them at once, where adding them one by one would
// save the whole list again for each rule.
void storeRules(UserDefaults& defaults, int appRules, int websiteRules);

} // namespace korvalen::bench
