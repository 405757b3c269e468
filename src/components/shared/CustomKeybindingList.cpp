#include "components/shared/CustomKeybindingList.h"

#include "components/shared/HotKeySettings.h"
#include "components/shared/KeySymbols.h"

namespace quorvel {

QString CustomKeybindingList::quorvelPath()
{
    return QStringLiteral(
        "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/quorvel-launcher/");
}

QStringList CustomKeybindingList::withQuorvel(const QStringList& paths)
{
    if (paths.contains(quorvelPath()))
        return paths;
    return paths + QStringList { quorvelPath() };
}

QStringList CustomKeybindingList::withoutQuorvel(const QStringList& paths)
{
    QStringList kept = paths;
    kept.removeAll(quorvelPath());
    return kept;
}

QString CustomKeybindingList::acceleratorOf(const HotKeySettings& settings)
{
    QString accelerator;
    if (settings.modifiers() & HotKeySettings::Control)
        accelerator += QStringLiteral("<Control>");
    if (settings.modifiers() & HotKeySettings::Alt)
        accelerator += QStringLiteral("<Alt>");
    if (settings.modifiers() & HotKeySettings::Shift)
        accelerator += QStringLiteral("<Shift>");
    if (settings.modifiers() & HotKeySettings::Super)
        accelerator += QStringLiteral("<Super>");
    return accelerator + KeySymbols::keySymbolName(settings.keyString());
}

} // namespace quorvel
