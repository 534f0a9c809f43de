#pragma once

#include "platform/TextInputSources.h"
#include "platform/UserDefaults.h"
#include "platform/linux/InputMethodFramework.h"

#include <QString>

#include <memory>

namespace korvalen {

// Which backend gives the input sources: the one the user named in the setting, else the first
// input method framework that runs (fcitx5, then the desktop's own where it has one, then IBus),
// else the keyboard layouts of the session, chosen afresh at every call (see
// AutomaticTextInputSources). fcitx5 comes first because a user who runs it beside a desktop that
// keeps input sources of its own has chosen it to switch them.
class InputBackendChoice {
public:
    static inline const QString settingKey = QStringLiteral("Korvalen.inputBackend");

    // The values the setting takes; absent, or any other value, means automatic.
    static inline const QString xkb = QStringLiteral("xkb");
    static inline const QString ibus = QStringLiteral("ibus");
    static inline const QString fcitx5 = QStringLiteral("fcitx5");
    // GNOME Shell's input sources; only in GNOME sessions.
    static inline const QString gnome = QStringLiteral("gnome");

    struct Made {
        std::unique_ptr<TextInputSources> sources;
        // For the start line: which backend runs, and why that one.
        QString description;
    };

    // `layouts` are the session's keyboard layouts, which "xkb" names whatever switches them,
    // described by `layoutsName`; `desktopSources` the desktop's own input sources, if it keeps
    // them (GNOME Shell's).
    static Made make(const UserDefaults& defaults, std::unique_ptr<TextInputSources> layouts,
                     const QString& layoutsName,
                     std::unique_ptr<InputMethodFramework> desktopSources = nullptr);
};

} // namespace korvalen
