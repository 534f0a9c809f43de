// Times the tray menu's rebuild, which runs every time the menu is about to open (and delays its
// showing by as much), with 20 keyboard layouts, 1,000 application rules and 1,000 website rules:
// what the menu shows, computed without widgets, and the whole rebuild of the menu's widgets from
// it. Runs offscreen, with the program's own string tables in English.

#include "FigureBenchmarks.h"
#include "GeneratedSettings.h"
#include "localization/Localized.h"
#include "menu/StatusMenuController.h"
#include "platform/Platform.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimWorkspace.h"

#include <QApplication>

using namespace korvalen;
using namespace korvalen::bench;

namespace {

constexpr int ruleCount = 1000;
const std::string target = "under 16000 µs, one frame";

// The menu as the program makes it: the shared store on the installed platform, the shared
// localizer with its resource bundle.
struct StatusMenu {
    SimulatedTextInputSources inputSources;
    SimWorkspace workspace;
    FeedbackHUD hud;
    StatusMenuController controller{RuleStore::shared(), inputSources, workspace, sharedLocalizer(),
                                    hud};
    StatusMenuModel model{RuleStore::shared(), sharedLocalizer()};

    StatusMenu() { addKeyboardLayouts(inputSources, 20); }
};

void menuModel(benchmark::State& state, const StatusMenuModel& model)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(model.items());
        benchmark::DoNotOptimize(model.languageItems());
    }
}

void menuRebuild(benchmark::State& state, StatusMenuController& controller)
{
    for (auto _ : state)
        Q_EMIT controller.menu().aboutToShow();
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto platform = std::make_unique<Platform>();
    platform->userDefaults = std::make_unique<InMemoryUserDefaults>();
    storeRules(*platform->userDefaults, ruleCount, ruleCount);
    Platform::install(std::move(platform));
    RuleStore::shared().setLanguageOverride(QStringLiteral("en"));

    StatusMenu menu;
    addFigure("tray menu, what it shows (20 sources, 1,000 + 1,000 rules)", target,
              [&](benchmark::State& state) { menuModel(state, menu.model); });
    addFigure("tray menu, rebuild on opening (20 sources, 1,000 + 1,000 rules)", target,
              [&](benchmark::State& state) { menuRebuild(state, menu.controller); });
    return runFigures(argc, argv);
}
