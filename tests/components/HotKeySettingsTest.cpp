#include "components/shared/HotKeySettings.h"

#include "components/shared/ComponentContract.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/UserDefaults.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

QVariantMap qrvl(
    const QVariant& keyCode, const QVariant& modifier, const QVariant& switchedOn, const QVariant& name)
{
    return { { "keyCode", keyCode }, { "keyModifier", modifier }, { "switchedOn", switchedOn },
        { "keyString", name } };
}

} // namespace

TEST(HotKeySettings, StoredValuesAreTakenAsTheyAre)
{
    const HotKeySettings settings = HotKeySettings::fromQRVL(qrvl(qint64(12), qint64(3), "YES", "Q"));
    EXPECT_EQ(settings, HotKeySettings("Q", HotKeySettings::Control | HotKeySettings::Alt, true));
    EXPECT_FALSE(HotKeySettings::fromQRVL(qrvl(qint64(122), qint64(0), "NO", "F1")).isSwitchedOn());
    // The name decides, whatever key code was written beside it.
    EXPECT_EQ(HotKeySettings::fromQRVL(qrvl(qint64(0), qint64(8), "YES", "HOME")).keyString(), "HOME");
}

TEST(HotKeySettings, AnUnusableValueFallsBackToF1AndTheLogSaysWhy)
{
    const struct {
        QVariant value;
        const char* reason;
    } cases[] = {
        { QStringLiteral("F2"), "not a dictionary" },
        { qrvl("122", qint64(0), "YES", "F2"), "keyCode is not an integer" },
        { qrvl(qint64(122), 2.5, "YES", "F2"), "keyModifier is not an integer" },
        { qrvl(qint64(122), qint64(0), true, "F2"), "switchedOn is not a string" },
        { qrvl(qint64(122), qint64(0), "YES", qint64(5)), "keyString is not a string" },
        { QVariantMap { { "keyString", "F2" } }, "keyCode is not an integer" },
        { qrvl(qint64(122), qint64(0), "YES", "F15"), "\"F15\" is not a key name" },
        { qrvl(qint64(122), qint64(0), "YES", "f2"), "\"f2\" is not a key name" },
        { qrvl(qint64(122), qint64(16), "YES", "F2"), "modifier value 16" },
        { qrvl(qint64(122), qint64(-1), "YES", "F2"), "modifier value -1" },
        // A letter alone (or with Shift) would stop the user typing it anywhere.
        { qrvl(qint64(12), qint64(4), "YES", "Q"), "Q needs Control, Alt or Super" },
    };
    for (const auto& bad : cases) {
        test::LogCapture log;
        EXPECT_EQ(HotKeySettings::fromQRVL(bad.value), HotKeySettings()) << bad.reason;
        const QStringList lines = log.linesContaining(QStringLiteral("using F1"));
        ASSERT_EQ(lines.size(), 1) << bad.reason;
        EXPECT_TRUE(lines.first().contains(QLatin1String(bad.reason))) << lines.first().toStdString();
    }
}

TEST(HotKeySettings, ModifiersEncodeAsControl1Alt2Shift4Super8AndSurviveTextAndStore)
{
    EXPECT_EQ(HotKeySettings::fromText("Control+Alt+Q")->modifiers(), 3);
    EXPECT_EQ(HotKeySettings::fromText("ctrl+shift+F5")->modifiers(), 5);
    EXPECT_EQ(HotKeySettings::fromText("Super+UP ARROW")->modifiers(), 8);
    EXPECT_EQ(HotKeySettings::fromText("alt+q")->keyString(), "Q");
    for (qint64 modifiers = 0; modifiers <= HotKeySettings::allModifiers; ++modifiers) {
        const HotKeySettings settings("F7", modifiers, true);
        EXPECT_EQ(HotKeySettings::fromText(settings.text()), settings) << settings.text().toStdString();
        EXPECT_EQ(HotKeySettings::fromQRVL(settings.toQRVL()), settings) << modifiers;
    }
    QString whyNot;
    EXPECT_FALSE(HotKeySettings::fromText("Hyper+F1", &whyNot));
    EXPECT_TRUE(whyNot.contains("Hyper"));
    EXPECT_FALSE(HotKeySettings::fromText("Control+F14", &whyNot));
    EXPECT_FALSE(HotKeySettings::fromText("Shift+A", &whyNot));
}

TEST(HotKeySettings, SpaceAndThePageKeysAreTakenWithAModifierOnly)
{
    const std::optional<HotKeySettings> space = HotKeySettings::fromText("Control+Alt+Space");
    ASSERT_TRUE(space);
    EXPECT_EQ(space->keyString(), "SPACE");
    EXPECT_EQ(space->toQRVL().value("keyCode").toUInt(), 49u);
    EXPECT_EQ(HotKeySettings::fromText("Super+Page Down")->keyString(), "PAGE DOWN");
    QString whyNot;
    EXPECT_FALSE(HotKeySettings::fromText("Space", &whyNot));
    EXPECT_TRUE(whyNot.contains("needs Control")) << whyNot.toStdString();
    EXPECT_FALSE(HotKeySettings::fromText("Shift+Return", &whyNot));
}

TEST(HotKeySettings, WritingMergesIntoTheLaunchersStoreWithTheRegisteredValueTypes)
{
    UserDefaults launcher(ComponentContract::applicationIdentifier());
    launcher.setString("combinedLastSearchTerm", "keep me");
    ASSERT_TRUE(launcher.synchronize());

    UserDefaults pane(ComponentContract::applicationIdentifier());
    EXPECT_EQ(HotKeySettings::readFrom(pane), HotKeySettings()); // nothing stored: the registered F1
    ASSERT_TRUE(HotKeySettings("Q", HotKeySettings::Control | HotKeySettings::Alt, true).writeTo(pane));

    const QVariantMap file = PropertyList::readDictionaryFile(launcher.domainFilePath()).value();
    EXPECT_EQ(file.value("combinedLastSearchTerm"), "keep me");
    const QVariantMap stored = file.value("qrvl").toMap();
    EXPECT_EQ(stored.value("keyCode").toInt(), 12);
    EXPECT_EQ(stored.value("keyModifier").toInt(), 3);
    EXPECT_EQ(stored.value("switchedOn").metaType().id(), QMetaType::QString);
    EXPECT_EQ(stored.value("switchedOn"), "YES");
    EXPECT_EQ(stored.value("keyString"), "Q");

    UserDefaults component(ComponentContract::applicationIdentifier());
    EXPECT_EQ(HotKeySettings::readFrom(component).text(), "Control+Alt+Q");
}
