#pragma once

#include <QString>

struct _GSettings;

namespace korvalen {

// GNOME Shell's settings of the user's extensions (GSettings org.gnome.shell): the lists of the
// enabled and the disabled ones, which the Shell follows while it runs and reads when it starts,
// and whether it leaves the users' extensions off altogether. Without the schema (GNOME is not
// installed) there is nothing to read or change.
class GnomeExtensionSettings {
public:
    GnomeExtensionSettings();
    GnomeExtensionSettings(const GnomeExtensionSettings&) = delete;
    GnomeExtensionSettings& operator=(const GnomeExtensionSettings&) = delete;
    ~GnomeExtensionSettings();

    bool isAvailable() const { return m_settings != nullptr; }
    bool isEnabled(const QString& uuid) const;
    bool areUserExtensionsOff() const;
    // Puts the extension on the enabled list and takes it off the disabled one, or the other way
    // round, and waits until the settings have stored it. False when they did not take it.
    bool setEnabled(const QString& uuid, bool enabled);

private:
    _GSettings* m_settings = nullptr;
    bool m_hasDisabledList = false;
    bool m_hasUserExtensionsSwitch = false;
};

} // namespace korvalen
