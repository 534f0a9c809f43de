#pragma once

#include "input/InputSourceManager.h"
#include "localization/Localization.h"
#include "platform/Platform.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedTextInputSources.h"
#include "rules/RuleStore.h"
#include "rules_window/IconView.h"
#include "rules_window/ItemIcons.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace korvalen::testing {

using namespace Qt::Literals::StringLiterals;

// What the rules window's widgets need in a test.
//
// The free localized() reads the process-wide platform and RuleStore::shared(); the first
// fixture installs a platform with in-memory settings for the whole test program (the shared
// store keeps what earlier tests wrote to it). Each test starts with the interface in Chinese,
// left to right, and three enabled keyboard layouts; the workspace knows no applications.
class RulesWindowFixture : public ::testing::Test {
protected:
    RulesWindowFixture()
    {
        static const bool installed = [] {
            auto platform = std::make_unique<Platform>();
            platform->userDefaults = std::make_unique<InMemoryUserDefaults>();
            Platform::install(std::move(platform));
            return true;
        }();
        Q_UNUSED(installed);
        useLanguage(u"zh-Hans"_s);
        us = inputSources.addEnabledSource(
            SimulatedTextInputSources::keyboardLayout(u"xkb:us"_s, u"English (US)"_s));
        inputSources.addEnabledSource(
            SimulatedTextInputSources::keyboardLayout(u"xkb:ru"_s, u"Russian"_s));
        inputSources.addEnabledSource(
            SimulatedTextInputSources::keyboardLayout(u"xkb:de"_s, u"German"_s));
        inputSources.setCurrentKeyboardSource(us);
    }

    ~RulesWindowFixture() override { useLanguage(u"zh-Hans"_s); }

    // Chooses the interface language (a code of the shipped bundle, e.g. "en" or "ar"), and lays
    // the application out in its direction, as the tray does when the language changes.
    static void useLanguage(const QString& code)
    {
        RuleStore::shared().setLanguageOverride(code);
        QApplication::setLayoutDirection(isRightToLeft(code) ? Qt::RightToLeft : Qt::LeftToRight);
    }

    // The enabled keyboard sources, in order: English (US), Russian, German.
    QList<InputSource> sources()
    {
        return InputSourceManager::selectableKeyboardSources(inputSources);
    }

    SimulatedTextInputSources inputSources;
    SimWorkspace workspace;
    ItemIcons icons{inputSources, workspace};
    TextInputSources::Handle us;
};

// The parts of a picker button (InputSourcePickerButton or SearchableAppPickerButton), found as a
// test needs them. The pop-up is made when it first opens: until then its parts are null.

// The name shown on the button's face (cut short when it does not fit).
inline QLabel* titleOf(const QPushButton& picker)
{
    for (QLabel* label : picker.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!qobject_cast<IconView*>(label))
            return label;
    }
    return nullptr;
}

// The colour the face shows its name in.
inline QColor titleColourOf(const QPushButton& picker)
{
    const QLabel* title = titleOf(picker);
    return title->palette().color(title->foregroundRole());
}

inline QListView* listOf(const QPushButton& picker)
{
    return picker.findChild<QListView*>();
}

// The pop-up window that holds the list.
inline QWidget* popupOf(const QPushButton& picker)
{
    const QListView* list = listOf(picker);
    return list ? list->window() : nullptr;
}

// The application picker's search field; null for the input source picker.
inline QLineEdit* searchFieldOf(const QPushButton& picker)
{
    return picker.findChild<QLineEdit*>();
}

// The names of the list's rows, in order.
inline QStringList rowsOf(const QPushButton& picker)
{
    const QAbstractItemModel& model = *listOf(picker)->model();
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names.append(model.index(row, 0).data().toString());
    return names;
}

// The name in the list's current row; empty when there is none.
inline QString currentRowOf(const QPushButton& picker)
{
    return listOf(picker)->currentIndex().data().toString();
}

// Clicks the button and waits for its pop-up to show.
inline bool openPicker(QPushButton& picker)
{
    QTest::mouseClick(&picker, Qt::LeftButton);
    return QTest::qWaitFor([&] { return popupOf(picker) && popupOf(picker)->isVisible(); });
}

} // namespace korvalen::testing
