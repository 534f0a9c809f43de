// Times one enforcement pass of the real EnforcementController over the simulated platform, with
// 1,000 application rules, 1,000 website rules and 20 keyboard layouts: the pass when an
// application with a rule comes to the front (and its rule switches the source), when one without
// a rule does (the default applies, nothing to switch), and when the browser's tab moves to
// another website with a rule (and that rule switches). Each pass writes its lines to an
// enforcement log of its own, as the real one does.

#include "FigureBenchmarks.h"
#include "GeneratedApplications.h"
#include "GeneratedSettings.h"
#include "enforcement/EnforcementController.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimBrowserScripting.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimWorkspace.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <functional>

using namespace korvalen;
using namespace korvalen::bench;

namespace {

constexpr int ruleCount = 1000;
const QString browser = QStringLiteral("chromium");
const QString browserName = QStringLiteral("Chromium");

// The product's pieces wired as main() wires them, on the simulated platform.
struct Enforcement {
    QTemporaryDir folder;
    SimClock clock{QDateTime::currentDateTimeUtc()};
    EnforcementLog log{folder.filePath(QStringLiteral("enforce.log")), clock};
    InMemoryUserDefaults defaults;
    SimWorkspace workspace;
    SimBrowserScripting browsers{{{browser, browserName}}};
    NotificationCenter notifications;
    SimulatedTextInputSources inputSources;
    std::unique_ptr<RuleStore> store;
    std::unique_ptr<WebsiteWatcher> watcher;
    std::unique_ptr<EnforcementController> controller;

    Enforcement()
    {
        storeRules(defaults, ruleCount, ruleCount);
        store = std::make_unique<RuleStore>(defaults);
        store->setDefaultSourceID(layoutID(0));
        store->setGlobalFallbackMode(GlobalFallbackMode::defaultOnly);
        addKeyboardLayouts(inputSources, 20);
        watcher = std::make_unique<WebsiteWatcher>(workspace, browsers, notifications);
        controller = std::make_unique<EnforcementController>(*store, *watcher, inputSources,
                                                             workspace, notifications, log);
        controller->start();
    }

    // Delivers the platform's announcement of a switch, and the pass that follows it, outside the
    // time taken: that pass is the next event's, not this one's.
    static void settle() { QCoreApplication::processEvents(); }
};

// Times `pass(i)` alone for i = 0, 1, 2, … and lets what it left queued run in between.
void timePasses(benchmark::State& state, const std::function<void(int)>& pass)
{
    int i = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pass(i++);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        Enforcement::settle();
    }
}

void activationOfAppWithRule(benchmark::State& state)
{
    Enforcement enforcement;
    timePasses(state, [&](int i) {
        enforcement.workspace.activate(applicationIdentifier(i % ruleCount));
    });
}

void activationOfAppWithoutRule(benchmark::State& state)
{
    Enforcement enforcement;
    const QString apps[] = {QStringLiteral("org.example.unruled.first"),
                            QStringLiteral("org.example.unruled.second")};
    timePasses(state, [&](int i) { enforcement.workspace.activate(apps[i % 2]); });
}

void websiteRulePass(benchmark::State& state)
{
    Enforcement enforcement;
    enforcement.workspace.activate(browser);
    Enforcement::settle();
    timePasses(state, [&](int i) {
        enforcement.browsers.setTabURL(
            browserName, QStringLiteral("https://%1/page").arg(websiteDomain(i % ruleCount)));
        enforcement.browsers.announceTabChange();
    });
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const std::string target = "under 1000 µs";
    addFigure("enforcement pass, activation of an app with a rule (1,000 + 1,000 rules)", target,
              activationOfAppWithRule)
        ->UseManualTime();
    addFigure("enforcement pass, activation of an app without a rule (1,000 + 1,000 rules)", target,
              activationOfAppWithoutRule)
        ->UseManualTime();
    addFigure("enforcement pass, website rule on a tab change (1,000 + 1,000 rules)", target,
              websiteRulePass)
        ->UseManualTime();
    return runFigures(argc, argv);
}
