#include "app/Localized.h"
#include "platform/Platform.h"
#include "rules/RuleStore.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace korvalen;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Korvalen"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvalen"));

    Platform::install(makeNativePlatform());
    const RuleStore& store = RuleStore::shared();

    const auto orNone = [](const std::optional<QString>& text) {
        return text.value_or(QStringLiteral("none"));
    };
    QTextStream out(stdout);
    out << "Korvalen loaded " << store.rules().size() << " application rules and "
        << store.websiteRules().size() << " website rules\n"
        << "default input source: " << orNone(store.defaultSourceID()) << " ("
        << orNone(store.defaultSourceDisplayName()) << ")\n"
        << "fallback mode: " << rawValue(store.globalFallbackMode()) << "\n"
        << "switch by application: " << (store.isAutoSwitchEnabled() ? "on" : "off") << "\n"
        << "interface language: " << resolveCurrentLocalization().languageCode
        << " (chosen: " << orNone(store.languageOverride()) << ")\n";
    return 0;
}
