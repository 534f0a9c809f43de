#pragma once

#include "platform/TextInputSources.h"

namespace korvalen {

// The keyboard layouts of a compositor that offers clients no way to list or switch them: none,
// so that only an input method framework's sources, when one runs, are switched.
class NoTextInputSources final : public TextInputSources {
public:
    static constexpr int noSources = -1;

    QList<Handle> enabledSources() override { return {}; }
    Handle currentKeyboardSource() override { return {}; }
    int select(const Handle&) override { return noSources; }

    std::optional<bool> isSelectCapable(const Handle&) const override { return std::nullopt; }
    std::optional<QString> category(const Handle&) const override { return std::nullopt; }
    std::optional<QString> identifier(const Handle&) const override { return std::nullopt; }
    std::optional<QString> localizedName(const Handle&) const override { return std::nullopt; }
    std::optional<QString> inputMethodBundleID(const Handle&) const override
    {
        return std::nullopt;
    }
    std::optional<QUrl> iconURL(const Handle&) const override { return std::nullopt; }
};

} // namespace korvalen
