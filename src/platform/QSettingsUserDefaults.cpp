#include "platform/QSettingsUserDefaults.h"

#include <algorithm>

namespace korvalen {

QSettingsUserDefaults::QSettingsUserDefaults(std::unique_ptr<QSettings> settings)
    : m_settings(std::move(settings))
{
}

std::unique_ptr<QSettingsUserDefaults> QSettingsUserDefaults::inIniFile(const QString& path)
{
    return std::make_unique<QSettingsUserDefaults>(
        std::make_unique<QSettings>(path, QSettings::IniFormat));
}

std::unique_ptr<QSettings> QSettingsUserDefaults::nativeSettings(const QString& bundleIdentifier)
{
    QStringList labels = bundleIdentifier.split(u'.');
    const QString application = labels.takeLast();
    std::reverse(labels.begin(), labels.end());
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                labels.join(u'.'), application);
    settings->setFallbacksEnabled(false);
    return settings;
}

std::optional<QVariant> QSettingsUserDefaults::objectForKey(const QString& key) const
{
    if (!m_settings->contains(key))
        return std::nullopt;
    return m_settings->value(key);
}

void QSettingsUserDefaults::setObject(const QString& key, const QVariant& value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
}

void QSettingsUserDefaults::removeObject(const QString& key)
{
    m_settings->remove(key);
    m_settings->sync();
}

} // namespace korvalen
