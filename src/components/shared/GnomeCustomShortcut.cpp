#include "components/shared/GnomeCustomShortcut.h"

#include "components/shared/ComponentContract.h"
#include "components/shared/CustomKeybindingList.h"
#include "components/shared/HotKeyLog.h"
#include "components/shared/HotKeySettings.h"
#include "platform/core/Log.h"

#include <QStringList>
#include <gio/gio.h>
#include <memory>

namespace quorvel {

namespace {

constexpr const char* listSchema = "org.gnome.settings-daemon.plugins.media-keys";
constexpr const char* entrySchema = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
constexpr const char* listKey = "custom-keybindings";

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using SettingsPointer = std::unique_ptr<GSettings, ObjectUnref>;

// g_settings_new aborts the process for a schema that is not installed: ask first.
bool hasSchema(const char* id)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return false;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, id, TRUE);
    if (!schema)
        return false;
    g_settings_schema_unref(schema);
    return true;
}

QStringList stringsOf(GSettings* settings, const char* key)
{
    QStringList strings;
    gchar** values = g_settings_get_strv(settings, key);
    for (gchar** value = values; value && *value; ++value)
        strings.append(QString::fromUtf8(*value));
    g_strfreev(values);
    return strings;
}

bool setStrings(GSettings* settings, const char* key, const QStringList& strings)
{
    std::vector<QByteArray> bytes;
    std::vector<const gchar*> values;
    for (const QString& string : strings)
        bytes.push_back(string.toUtf8());
    for (const QByteArray& value : bytes)
        values.push_back(value.constData());
    values.push_back(nullptr);
    return g_settings_set_strv(settings, key, values.data());
}

SettingsPointer entrySettings()
{
    const QByteArray path = CustomKeybindingList::quorvelPath().toUtf8();
    return SettingsPointer(g_settings_new_with_path(entrySchema, path.constData()));
}

} // namespace

bool GnomeCustomShortcut::isOffered()
{
    return hasSchema(listSchema) && hasSchema(entrySchema);
}

bool GnomeCustomShortcut::isAdded()
{
    if (!isOffered())
        return false;
    const SettingsPointer list(g_settings_new(listSchema));
    return stringsOf(list.get(), listKey).contains(CustomKeybindingList::quorvelPath());
}

bool GnomeCustomShortcut::add(const HotKeySettings& settings)
{
    if (!isOffered())
        return false;
    const SettingsPointer entry = entrySettings();
    const QByteArray command = ComponentContract::wakeUpCommandLine().toUtf8();
    const QByteArray binding = CustomKeybindingList::acceleratorOf(settings).toUtf8();
    bool written = g_settings_set_string(entry.get(), "name", "Quorvel Launcher")
        && g_settings_set_string(entry.get(), "command", command.constData())
        && g_settings_set_string(entry.get(), "binding", binding.constData());
    const SettingsPointer list(g_settings_new(listSchema));
    written = written
        && setStrings(list.get(), listKey, CustomKeybindingList::withQuorvel(stringsOf(list.get(), listKey)));
    g_settings_sync();
    if (!written)
        Log::line(hotKeyLog(),
            QStringLiteral("The desktop's shortcut settings did not take the launcher's shortcut"));
    return written;
}

bool GnomeCustomShortcut::remove()
{
    if (!isOffered())
        return false;
    const SettingsPointer list(g_settings_new(listSchema));
    const bool written = setStrings(
        list.get(), listKey, CustomKeybindingList::withoutQuorvel(stringsOf(list.get(), listKey)));
    const SettingsPointer entry = entrySettings();
    for (const char* key : { "name", "command", "binding" })
        g_settings_reset(entry.get(), key);
    g_settings_sync();
    return written;
}

} // namespace quorvel
