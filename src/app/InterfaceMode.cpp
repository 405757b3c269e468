#include "app/InterfaceMode.h"

#include "platform/desktop/Bundle.h"
#include "platform/settings/SettingsKeys.h"
#include "platform/settings/UserDefaults.h"

#include <QVariant>

namespace quorvel {

namespace {

bool informationFileAsksForNoTaskbarEntry(const Bundle& bundle)
{
    const QVariant uiElement = bundle.objectForInfoDictionaryKey(QStringLiteral("LSUIElement"));
    if (uiElement.typeId() == QMetaType::Bool)
        return uiElement.toBool();
    const QString text = uiElement.toString();
    return text == QLatin1String("1") || text.startsWith(QLatin1Char('Y'), Qt::CaseInsensitive);
}

} // namespace

bool InterfaceMode::startsWithoutTaskbarEntry(const Bundle& bundle, const UserDefaults& defaults)
{
    if (informationFileAsksForNoTaskbarEntry(bundle))
        return true;
    // Read before the defaults are registered: only a stored "off" counts.
    const QVariant showMenuBar = defaults.objectForKey(SettingsKey::showMenuBar);
    return showMenuBar.isValid() && !defaults.boolForKey(SettingsKey::showMenuBar);
}

} // namespace quorvel
