#include "rules/GlobalFallbackMode.h"

#include <array>

namespace korvalen {

namespace {
constexpr std::array allModes{GlobalFallbackMode::locked, GlobalFallbackMode::defaultOnly,
                              GlobalFallbackMode::disabled};
}

QString rawValue(GlobalFallbackMode mode)
{
    switch (mode) {
    case GlobalFallbackMode::locked:
        return QStringLiteral("locked");
    case GlobalFallbackMode::defaultOnly:
        return QStringLiteral("defaultOnly");
    case GlobalFallbackMode::disabled:
        return QStringLiteral("disabled");
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<GlobalFallbackMode> globalFallbackModeFromRawValue(const QString& text)
{
    for (const GlobalFallbackMode mode : allModes) {
        if (rawValue(mode) == text)
            return mode;
    }
    return std::nullopt;
}

} // namespace korvalen
