#include "system/GnomeKeybinding.hpp"

#include <QByteArrayList>
#include <gio/gio.h>
#include <memory>
#include <vector>

namespace plinkora {

namespace {

constexpr char kListSchema[] = "org.gnome.settings-daemon.plugins.media-keys";
constexpr char kListKey[] = "custom-keybindings";
constexpr char kEntrySchema[] = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
// Paths of Plinkora's own: GNOME's customN names belong to the shortcuts the user makes.
struct Entry {
    const char* path;
    const char* name;
    const char* command;
    const char* binding;
};
constexpr Entry kToggle{
    "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/plinkora/", "Plinkora",
    "plinkora --toggle", "<Control><Alt><Super>m"};
constexpr Entry kEntries[] = {
    kToggle,
    {"/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/plinkora-save/",
     "Plinkora: Save What I Just Played", "plinkora --save", "<Control><Alt><Super>s"}};

using Settings = std::unique_ptr<GSettings, decltype(&g_object_unref)>;

Settings settings(const char* schema, const char* path = nullptr) {
    return {path != nullptr ? g_settings_new_with_path(schema, path) : g_settings_new(schema),
            &g_object_unref};
}

bool hasSchema(const char* id) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source != nullptr ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr;
    if (schema != nullptr) {
        g_settings_schema_unref(schema);
    }
    return schema != nullptr;
}

QByteArrayList paths(GSettings* list) {
    gchar** values = g_settings_get_strv(list, kListKey);
    QByteArrayList result;
    for (gchar** value = values; *value != nullptr; ++value) {
        result << QByteArray(*value);
    }
    g_strfreev(values);
    return result;
}

} // namespace

bool GnomeKeybinding::isAvailable() {
    const QByteArrayList desktops = qgetenv("XDG_CURRENT_DESKTOP").split(':');
    return desktops.contains("GNOME") && hasSchema(kListSchema) && hasSchema(kEntrySchema);
}

bool GnomeKeybinding::isAdded() {
    return isAvailable() && paths(settings(kListSchema).get()).contains(kToggle.path);
}

void GnomeKeybinding::setAdded(bool added) {
    if (!isAvailable()) {
        return;
    }
    const Settings list = settings(kListSchema);
    QByteArrayList all = paths(list.get());
    for (const Entry& each : kEntries) {
        const Settings entry = settings(kEntrySchema, each.path);
        all.removeAll(each.path);
        if (added) {
            g_settings_set_string(entry.get(), "name", each.name);
            g_settings_set_string(entry.get(), "command", each.command);
            g_settings_set_string(entry.get(), "binding", each.binding);
            all << each.path;
        } else {
            for (const char* key : {"name", "command", "binding"}) {
                g_settings_reset(entry.get(), key);
            }
        }
    }
    std::vector<const gchar*> values;
    for (const QByteArray& path : all) {
        values.push_back(path.constData());
    }
    values.push_back(nullptr);
    g_settings_set_strv(list.get(), kListKey, values.data());
}

} // namespace plinkora
