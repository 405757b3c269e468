#include <glib.h>

#include "platform/desktop/SettingsPanels.h"

#include "platform/files/Folders.h"

namespace quorvel {

namespace {

const char* const group = "Desktop Entry";

bool containsAny(const QStringList& list, const QStringList& wanted)
{
    for (const QString& item : wanted) {
        if (list.contains(item))
            return true;
    }
    return false;
}

// A list value such as "GNOME;Unity;" ("X-KDE-ServiceTypes" separates with commas as well).
QStringList listValue(GKeyFile* entry, const char* key)
{
    char* value = g_key_file_get_string(entry, group, key, nullptr);
    QString text = value ? QString::fromUtf8(value) : QString();
    g_free(value);
    QStringList items;
    for (const QString& item : text.replace(QLatin1Char(','), QLatin1Char(';')).split(QLatin1Char(';')))
        if (const QString trimmed = item.trimmed(); !trimmed.isEmpty())
            items.append(trimmed);
    return items;
}

} // namespace

SettingsPanels SettingsPanels::ofRunningDesktop()
{
    return SettingsPanels(
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts));
}

SettingsPanels::SettingsPanels(QStringList desktops)
    : desktops(std::move(desktops))
{
}

bool SettingsPanels::isPanel(GKeyFile* entry, const QString& path) const
{
    return !desktops.isEmpty() && isMarkedPanel(entry, path) && showsOn(entry);
}

bool SettingsPanels::isMarkedPanel(GKeyFile* entry, const QString& path) const
{
    if (desktops.contains(QLatin1String("GNOME"))) {
        char* panel = g_key_file_get_string(entry, group, "X-GNOME-Settings-Panel", nullptr);
        const bool marked = panel && *panel;
        g_free(panel);
        if (marked)
            return true;
    }
    if (desktops.contains(QLatin1String("KDE"))) {
        if (Folders::lastPathComponent(path).startsWith(QLatin1String("kcm_"))
            || listValue(entry, "X-KDE-ServiceTypes").contains(QLatin1String("KCModule")))
            return true;
    }
    return desktops.contains(QLatin1String("XFCE"))
        && listValue(entry, "Categories").contains(QLatin1String("X-XFCE-SettingsDialog"));
}

// The desktop entry rules for OnlyShowIn and NotShowIn against the running desktops.
bool SettingsPanels::showsOn(GKeyFile* entry) const
{
    if (containsAny(listValue(entry, "NotShowIn"), desktops))
        return false;
    if (!g_key_file_has_key(entry, group, "OnlyShowIn", nullptr))
        return true;
    return containsAny(listValue(entry, "OnlyShowIn"), desktops);
}

} // namespace quorvel
