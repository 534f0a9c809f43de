#pragma once

#include "platform/UserDefaults.h"

#include <QSettings>

#include <memory>

namespace korvalen {

// User defaults kept by QSettings. Every change is synced before the call returns; QSettings
// replaces the settings file atomically (write to a temporary file, then rename), so an
// interrupted write leaves the previous file whole. A failed write leaves the value in memory and
// is tried again with the next change.
class QSettingsUserDefaults final : public UserDefaults {
public:
    explicit QSettingsUserDefaults(std::unique_ptr<QSettings> settings);

    // INI settings in the given file, created with its folder on the first write.
    static std::unique_ptr<QSettingsUserDefaults> inIniFile(const QString& path);
    // The native settings of the application with this bundle identifier: on macOS its own user
    // defaults domain, for which QSettings wants the organization's Internet domain (the
    // identifier's leading labels, reversed) and the application name (its last label). Without
    // fallbacks, which there would answer from the organization's domain and the global one for
    // keys the application never wrote.
    static std::unique_ptr<QSettings> nativeSettings(const QString& bundleIdentifier);

    std::optional<QVariant> objectForKey(const QString& key) const override;
    void setObject(const QString& key, const QVariant& value) override;
    void removeObject(const QString& key) override;

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace korvalen
