#include "platform/linux/IbusEngineList.h"

#include <gio/gio.h>

using namespace Qt::Literals::StringLiterals;

namespace korvalen {

namespace {

constexpr const char* ibusSchema = "org.freedesktop.ibus.general";
constexpr const char* ibusKey = "preload-engines";
constexpr const char* gnomeSchema = "org.gnome.desktop.input-sources";
constexpr const char* gnomeKey = "sources";

// The settings of an installed schema that has the key with the given type; null otherwise.
// g_settings_new() would end the process for a schema that is not installed, and reading a key
// that the schema lacks would too.
GSettings* settingsWithKey(const char* schemaID, const char* key, const GVariantType* type)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return nullptr;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, schemaID, TRUE);
    if (!schema)
        return nullptr;
    GSettings* settings = nullptr;
    if (g_settings_schema_has_key(schema, key)) {
        GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key);
        if (g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey), type))
            settings = g_settings_new_full(schema, nullptr, nullptr);
        g_settings_schema_key_unref(schemaKey);
    }
    g_settings_schema_unref(schema);
    return settings;
}

QList<IbusEngineList::Entry> ibusEngines(GSettings* settings)
{
    QList<IbusEngineList::Entry> entries;
    GVariant* names = g_settings_get_value(settings, ibusKey);
    GVariantIter iterator;
    g_variant_iter_init(&iterator, names);
    const gchar* name = nullptr;
    while (g_variant_iter_next(&iterator, "&s", &name))
        entries.append({QString::fromUtf8(name), {}, {}});
    g_variant_unref(names);
    return entries;
}

// GNOME's sources are ("ibus", engine name) or ("xkb", "layout+variant"); other kinds are not
// IBus's to switch.
QList<IbusEngineList::Entry> gnomeSources(GSettings* settings)
{
    QList<IbusEngineList::Entry> entries;
    GVariant* sources = g_settings_get_value(settings, gnomeKey);
    GVariantIter iterator;
    g_variant_iter_init(&iterator, sources);
    const gchar* kind = nullptr;
    const gchar* id = nullptr;
    while (g_variant_iter_next(&iterator, "(&s&s)", &kind, &id)) {
        const QString source = QString::fromUtf8(id);
        if (qstrcmp(kind, "ibus") == 0)
            entries.append({source, {}, {}});
        else if (qstrcmp(kind, "xkb") == 0)
            entries.append({{}, source.section(u'+', 0, 0), source.section(u'+', 1)});
    }
    g_variant_unref(sources);
    return entries;
}

} // namespace

IbusEngineList::IbusEngineList()
    : m_ibusSettings(settingsWithKey(ibusSchema, ibusKey, G_VARIANT_TYPE_STRING_ARRAY))
    , m_gnomeSettings(settingsWithKey(gnomeSchema, gnomeKey, G_VARIANT_TYPE("a(ss)")))
{
    for (GSettings* settings : {m_ibusSettings, m_gnomeSettings}) {
        if (!settings)
            continue;
        g_signal_connect(settings, "changed", G_CALLBACK(&IbusEngineList::settingChanged), this);
    }
    // Some backends (dconf) tell only of changes to keys that were read after connecting.
    entries();
}

IbusEngineList::~IbusEngineList()
{
    for (GSettings* settings : {m_ibusSettings, m_gnomeSettings}) {
        if (!settings)
            continue;
        g_signal_handlers_disconnect_by_data(settings, this);
        g_object_unref(settings);
    }
}

QList<IbusEngineList::Entry> IbusEngineList::entries() const
{
    if (m_gnomeSettings) {
        // GNOME Shell owns switching there: it keeps its own list and sets IBus's engine itself.
        const QList<Entry> sources = gnomeSources(m_gnomeSettings);
        if (!sources.isEmpty())
            return sources;
    }
    return m_ibusSettings ? ibusEngines(m_ibusSettings) : QList<Entry>();
}

void IbusEngineList::settingChanged(_GSettings*, const char* key, void* list)
{
    if (qstrcmp(key, ibusKey) == 0 || qstrcmp(key, gnomeKey) == 0)
        static_cast<IbusEngineList*>(list)->m_changed.emit();
}

} // namespace korvalen
