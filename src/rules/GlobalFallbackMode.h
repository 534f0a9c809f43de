#pragma once

#include <QString>

#include <optional>

namespace korvalen {

// How the global default input source applies where no rule does.
enum class GlobalFallbackMode {
    locked,      // the default is held: leaving it is undone
    defaultOnly, // the default is selected on entering an application, then left alone
    disabled,    // no default: the current source stays
};

// The text shown for a mode, which is also its stored form.
QString rawValue(GlobalFallbackMode mode);

// The mode whose raw value is exactly this text (case-sensitive); none for any other text.
std::optional<GlobalFallbackMode> globalFallbackModeFromRawValue(const QString& rawValue);

} // namespace korvalen
