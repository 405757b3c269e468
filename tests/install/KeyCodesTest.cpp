#include "install/KeyCodes.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace quorvel;

TEST(KeyCodes, NamesMapToTheirVirtualKeyCodesExactlyAndCaseSensitively)
{
    EXPECT_EQ(keyCodeOfString("F1"), std::optional<std::uint16_t>(122));
    EXPECT_EQ(keyCodeOfString("A"), std::optional<std::uint16_t>(0));
    EXPECT_EQ(keyCodeOfString("INSERT"), std::optional<std::uint16_t>(114));
    EXPECT_EQ(keyCodeOfString("HELP"), std::optional<std::uint16_t>(114));
    EXPECT_EQ(keyCodeOfString("UP ARROW"), std::optional<std::uint16_t>(126));
    EXPECT_EQ(keyCodeOfString("F16"), std::optional<std::uint16_t>(106));
    EXPECT_FALSE(keyCodeOfString("f1"));
    EXPECT_FALSE(keyCodeOfString(""));
    EXPECT_FALSE(keyCodeOfString("UPARROW"));
    EXPECT_FALSE(keyCodeOfString("F14"));
}

TEST(KeyCodes, TableHasSixtyOneDistinctNamesAndIsBuiltOnce)
{
    QSet<QString> names;
    for (const KeyCodeRow& row : _keyCodes)
        names.insert(QString::fromLatin1(row.name));
    EXPECT_EQ(names.size(), 61);
    for (int i = 0; i < 100; ++i)
        keyCodeOfString("Z");
    EXPECT_EQ(_keyCodeMapBuildCount(), 1);
    int withoutModifier = 0;
    for (const KeyCodeRow& row : _keyCodes)
        withoutModifier += row.allowWithoutModifier;
    EXPECT_EQ(withoutModifier, 16); // F1 to F13, F16, INSERT and HELP
}
