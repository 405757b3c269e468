#include "ComponentBundles.h"

#include "platform/desktop/Bundle.h"
#include "platform/plist/PropertyList.h"
#include "support/TemporaryHome.h"

#include <QDir>

namespace quorvel::test {

void makeBundle(const QString& path, const QString& version)
{
    QDir().mkpath(path + "/Contents/Resources");
    PropertyList::writeFile(path + "/Contents/Info.plist",
        QVariantMap { { "CFBundleIdentifier", "org.quorvel.test" }, { "CFBundleVersion", version } });
}

FakeApplication::FakeApplication(const QString& paneVersion)
    : bundlePath(dir.filePath("Quorvel Launcher 2.app"))
{
    QDir().mkpath(bundlePath + "/Contents/Resources");
    PropertyList::writeFile(bundlePath + "/Contents/Info.plist",
        QVariantMap { { "CFBundleIdentifier", "org.quorvel.launcher" }, { "CFBundleVersion", "2.0" } });
    makeBundle(shippedPane(), paneVersion);
    makeBundle(shippedPane() + "/Contents/Resources/QRV HotKey.app", paneVersion);
    Bundle::setMainBundlePath(bundlePath);
}

FakeApplication::~FakeApplication()
{
    Bundle::setMainBundlePath(builtBundlePath());
}

void FakeApplication::moveTo(const QString& folder)
{
    QDir().mkpath(folder);
    const QString moved = folder + "/Quorvel Launcher 2.app";
    QDir().rename(bundlePath, moved);
    bundlePath = moved;
    Bundle::setMainBundlePath(bundlePath);
}

} // namespace quorvel::test
