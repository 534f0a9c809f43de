#pragma once

#include "localization/Localizer.h"
#include "menu/StatusMenuActions.h"
#include "menu/StatusMenuModel.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedTextInputSources.h"

#include <gtest/gtest.h>

namespace korvalen::testing {

using namespace Qt::Literals::StringLiterals;

// The store, input sources and workspace a status menu works on, with the shipped string tables;
// the interface is Chinese until a test chooses another language. Notices are collected.
class StatusMenuFixture : public ::testing::Test {
protected:
    InMemoryUserDefaults defaults;
    RuleStore store{defaults};
    SimulatedTextInputSources inputSources;
    SimWorkspace workspace;
    Localizer localizer{
        Bundle::open(u"" KORVALEN_SOURCE_DIR "/src/app/resources/Korvalen_Korvalen.bundle"_s),
        store, [] { return QStringList(); }};
    StatusMenuModel model{store, localizer};
    QStringList notices;
    StatusMenuActions actions{store, inputSources, workspace, localizer,
                              [this](const QString& message) { notices.append(message); }};

    StatusMenuFixture()
    {
        us = inputSources.addEnabledSource(
            SimulatedTextInputSources::keyboardLayout(u"xkb:us"_s, u"English (US)"_s));
        inputSources.addEnabledSource(
            SimulatedTextInputSources::keyboardLayout(u"xkb:ru"_s, u"Russian"_s));
        inputSources.setCurrentKeyboardSource(us);
    }

    TextInputSources::Handle us;
};

} // namespace korvalen::testing
