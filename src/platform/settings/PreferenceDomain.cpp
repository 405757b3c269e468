#include "platform/settings/PreferenceDomain.h"

#include "platform/settings/LoginItemAutostart.h"

namespace quorvel {

const QString PreferenceDomain::loginWindowDomain = QStringLiteral("loginwindow");
const QString PreferenceDomain::loginItemsKey = QStringLiteral("AutoLaunchedApplicationDictionary");

PreferenceDomain::PreferenceDomain(const QString& domain)
    : name(domain)
    , store(domain)
{
}

QVariant PreferenceDomain::copyValue(const QString& key) const
{
    return store.objectForKey(key);
}

void PreferenceDomain::setValue(const QString& key, const QVariant& value)
{
    store.setObject(key, value);
    if (name == loginWindowDomain && key == loginItemsKey)
        loginItemsChanged = true;
}

bool PreferenceDomain::synchronize()
{
    if (!store.synchronize())
        return false;
    if (loginItemsChanged) {
        LoginItemAutostart::mirror(store.objectForKey(loginItemsKey).toList());
        loginItemsChanged = false;
    }
    return true;
}

} // namespace quorvel
