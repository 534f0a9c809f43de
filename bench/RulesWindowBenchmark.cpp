// Times the rules window with 2,000 installed applications (desktop entries, in the page cache)
// and 200 application rules: opening it, redrawing it after a change of the store, and a key
// press in the domain field and in the application picker's search field. Runs offscreen, so it
// measures Korvalen's work and Qt's layout, not the X server's drawing.

#include "Figure.h"
#include "GeneratedApplications.h"
#include "GeneratedSettings.h"
#include "apps/InstalledAppsScanner.h"
#include "platform/Platform.h"
#include "platform/linux/DesktopEntryApplicationBundles.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedTextInputSources.h"
#include "rules_window/RulesWindowController.h"
#include "rules_window/SearchableAppPickerButton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace korvalen;
using namespace korvalen::bench;

namespace {

constexpr int ruleCount = 200;
constexpr int rounds = 25;

void printTimes(const char* label, std::vector<double> milliseconds, const char* target)
{
    printMedianFigure(std::string("rules window, ") + label, std::move(milliseconds), target);
}

std::vector<double> time(int count, const std::function<void()>& work)
{
    std::vector<double> milliseconds;
    for (int round = 0; round < count; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        milliseconds.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return milliseconds;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QTemporaryDir root;
    const QStringList folders{root.filePath(QStringLiteral("home/applications")),
                              root.filePath(QStringLiteral("local/applications")),
                              root.filePath(QStringLiteral("usr/applications"))};
    if (!root.isValid() || !writeDesktopEntries(folders)) {
        std::fprintf(stderr, "could not write the applications to %s\n", qPrintable(root.path()));
        return 1;
    }
    auto platform = std::make_unique<Platform>();
    platform->userDefaults = std::make_unique<InMemoryUserDefaults>();
    Platform::install(std::move(platform));

    const DesktopEntryApplicationBundles bundles(folders);
    SimWorkspace workspace;
    SimulatedTextInputSources inputSources;
    addKeyboardLayouts(inputSources, 5);
    RuleStore& store = RuleStore::shared();
    for (int i = 0; i < ruleCount; ++i)
        store.upsert(AppRule{applicationIdentifier(i), applicationName(i), QStringLiteral("xkb:ru"),
                             QStringLiteral("ru")});

    const auto makeController = [&] {
        return std::make_unique<RulesWindowController>(
            store, inputSources, workspace,
            [&] { return InstalledAppsScanner::pickerApps(bundles, workspace); },
            [](const QString&) { return std::optional<RuleSuggestion>(); });
    };

    printTimes("opening the window",
               time(rounds,
                    [&] {
                        auto controller = makeController();
                        controller->showWindow();
                        QCoreApplication::processEvents();
                    }),
               "under 150 ms");

    auto controller = makeController();
    controller->showWindow();
    QCoreApplication::processEvents();
    int change = 0;
    printTimes("redraw after a store change",
               time(rounds,
                    [&] {
                        const int i = change++ % ruleCount;
                        store.upsert(AppRule{applicationIdentifier(i), applicationName(i),
                                             QStringLiteral("xkb:us"), QStringLiteral("us")});
                    }),
               "under 50 ms");

    auto* domain = controller->window().findChild<QLineEdit*>(QStringLiteral("domainField"));
    domain->setFocus();
    printTimes("key press in the domain field",
               time(rounds, [&] { QTest::keyClick(domain, Qt::Key_A); }), "under 16 ms, one frame");

    auto* picker =
        controller->window().findChild<SearchableAppPickerButton*>(QStringLiteral("appPicker"));
    QElapsedTimer opening;
    opening.start();
    QTest::mouseClick(picker, Qt::LeftButton);
    QCoreApplication::processEvents();
    // Once only: the picker lists and scans the installed applications as it first opens.
    printFigure("rules window, opening the application picker",
                double(opening.nsecsElapsed()) / 1e6, "ms", "under 100 ms");
    QWidget* popup = QApplication::activePopupWidget();
    auto* search = popup ? popup->findChild<QLineEdit*>() : nullptr;
    if (!search) {
        std::fprintf(stderr, "the application picker did not open\n");
        return 1;
    }
    // Typing narrows the list, then deleting widens it again: both directions are timed.
    const QString typed = QStringLiteral("photo edi");
    int next = 0;
    printTimes("key press in the search field",
               time(2 * int(typed.size()),
                    [&] {
                        const int at = next++;
                        if (at < typed.size())
                            QTest::keyClicks(search, typed.mid(at, 1));
                        else
                            QTest::keyClick(search, Qt::Key_Backspace);
                    }),
               "under 16 ms, one frame");
    return 0;
}
