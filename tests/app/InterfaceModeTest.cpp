// The interface mode the application starts in: the information file's, or a stored setting off
// where the information file cannot follow (a bundle installed for everyone).

#include "app/InterfaceMode.h"
#include "platform/desktop/Bundle.h"
#include "platform/settings/UserDefaults.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace quorvel::test {

namespace {

QString menuBarOnlyInfo()
{
    return builtBundlePath() + "/Contents/Resources/info_ui_off.plist";
}

} // namespace

TEST(InterfaceMode, AStoredSettingOffStartsWithoutTaskbarEntryWhateverTheShippedInformationFileSays)
{
    const Bundle shipped(builtBundlePath());
    UserDefaults defaults("org.quorvel.interface-mode-test");
    EXPECT_FALSE(InterfaceMode::startsWithoutTaskbarEntry(shipped, defaults)) << "nothing stored";

    defaults.setBool("showMenuBar", true);
    EXPECT_FALSE(InterfaceMode::startsWithoutTaskbarEntry(shipped, defaults));
    defaults.setBool("showMenuBar", false);
    EXPECT_TRUE(InterfaceMode::startsWithoutTaskbarEntry(shipped, defaults))
        << "the bundle's information file still asks for a taskbar entry";
}

TEST(InterfaceMode, AnInformationFileWithoutTaskbarEntryDecidesAlone)
{
    TemporaryHome home;
    const QString bundlePath = home.filePath("Switched.app");
    ASSERT_TRUE(QDir().mkpath(bundlePath + "/Contents"));
    ASSERT_TRUE(QFile::copy(menuBarOnlyInfo(), bundlePath + "/Contents/Info.plist"));
    UserDefaults defaults("org.quorvel.interface-mode-test");
    EXPECT_TRUE(InterfaceMode::startsWithoutTaskbarEntry(Bundle(bundlePath), defaults));
    defaults.setBool("showMenuBar", true);
    EXPECT_TRUE(InterfaceMode::startsWithoutTaskbarEntry(Bundle(bundlePath), defaults));
}

} // namespace quorvel::test
