#include "platform/linux/GnomeExtensionSettings.h"

#include <QStringList>

#include <gio/gio.h>

#include <vector>

namespace korvalen {

namespace {

constexpr const char* schemaID = "org.gnome.shell";
constexpr const char* enabledKey = "enabled-extensions";
constexpr const char* disabledKey = "disabled-extensions";
constexpr const char* userExtensionsOffKey = "disable-user-extensions";

bool hasKeyOfType(GSettingsSchema* schema, const char* key, const GVariantType* type)
{
    if (!g_settings_schema_has_key(schema, key))
        return false;
    GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key);
    const bool matches =
        g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey), type);
    g_settings_schema_key_unref(schemaKey);
    return matches;
}

QStringList listIn(GSettings* settings, const char* key)
{
    QStringList list;
    gchar** values = g_settings_get_strv(settings, key);
    for (gchar** value = values; *value; ++value)
        list.append(QString::fromUtf8(*value));
    g_strfreev(values);
    return list;
}

bool store(GSettings* settings, const char* key, const QStringList& list)
{
    QList<QByteArray> texts;
    for (const QString& value : list)
        texts.append(value.toUtf8());
    std::vector<const gchar*> values;
    for (const QByteArray& text : texts)
        values.push_back(text.constData());
    values.push_back(nullptr);
    return g_settings_set_strv(settings, key, values.data());
}

} // namespace

// g_settings_new() ends the process for a schema that is not installed, and reading a key the
// schema lacks does too: both are looked up first.
GnomeExtensionSettings::GnomeExtensionSettings()
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, schemaID, TRUE) : nullptr;
    if (!schema)
        return;
    if (hasKeyOfType(schema, enabledKey, G_VARIANT_TYPE_STRING_ARRAY)) {
        m_settings = g_settings_new_full(schema, nullptr, nullptr);
        m_hasDisabledList = hasKeyOfType(schema, disabledKey, G_VARIANT_TYPE_STRING_ARRAY);
        m_hasUserExtensionsSwitch =
            hasKeyOfType(schema, userExtensionsOffKey, G_VARIANT_TYPE_BOOLEAN);
    }
    g_settings_schema_unref(schema);
}

GnomeExtensionSettings::~GnomeExtensionSettings()
{
    if (m_settings)
        g_object_unref(m_settings);
}

// The Shell lets the disabled list overrule the enabled one.
bool GnomeExtensionSettings::isEnabled(const QString& uuid) const
{
    return m_settings && listIn(m_settings, enabledKey).contains(uuid) &&
           !(m_hasDisabledList && listIn(m_settings, disabledKey).contains(uuid));
}

bool GnomeExtensionSettings::areUserExtensionsOff() const
{
    return m_hasUserExtensionsSwitch && g_settings_get_boolean(m_settings, userExtensionsOffKey);
}

// Disabling only takes the extension off the enabled list: the disabled list is for
// extensions that would otherwise be on, and an extension the user removed would be left there.
bool GnomeExtensionSettings::setEnabled(const QString& uuid, bool enabled)
{
    if (!m_settings)
        return false;
    QStringList onList = listIn(m_settings, enabledKey);
    QStringList offList = m_hasDisabledList ? listIn(m_settings, disabledKey) : QStringList();
    const bool offListChanges = enabled && offList.removeAll(uuid) > 0;
    if (onList.contains(uuid) == enabled && !offListChanges)
        return true;
    onList.removeAll(uuid);
    if (enabled)
        onList.append(uuid);
    // Both at once: the Shell, which follows both keys, never sees one changed without the other.
    g_settings_delay(m_settings);
    bool stored = store(m_settings, enabledKey, onList);
    if (offListChanges)
        stored = store(m_settings, disabledKey, offList) && stored;
    g_settings_apply(m_settings);
    // dconf writes in the background, and a command that ends before then loses the change. A
    // write the settings daemon refused reads as the old value once synced.
    g_settings_sync();
    return stored && listIn(m_settings, enabledKey).contains(uuid) == enabled;
}

} // namespace korvalen
