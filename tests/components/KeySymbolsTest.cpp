#include "components/shared/KeySymbols.h"

#include "install/KeyCodes.h"

#include <QHash>
#include <X11/keysym.h>
#include <gtest/gtest.h>

using namespace quorvel;

TEST(KeySymbols, KeyNamesMapToTheKeysTheyMean)
{
    EXPECT_EQ(KeySymbols::keySymbolOfKeyName("F1"), XK_F1);
    EXPECT_EQ(KeySymbols::keySymbolOfKeyName("F16"), XK_F16);
    EXPECT_EQ(KeySymbols::keySymbolOfKeyName("UP ARROW"), XK_Up);
    EXPECT_EQ(KeySymbols::keySymbolOfKeyName("DELETE"), XK_Delete); // forward delete, not BackSpace
    EXPECT_EQ(KeySymbols::keySymbolOfKeyName("HELP"), XK_Help);
    EXPECT_EQ(KeySymbols::keySymbolOfKeyName("INSERT"), XK_Insert);
    EXPECT_EQ(KeySymbols::keySymbolOfKeyName("A"), XK_a); // the unshifted symbol of the key
    EXPECT_EQ(KeySymbols::keySymbolOfKeyName("7"), XK_7);
    EXPECT_EQ(KeySymbols::keySymbolOfKeyName("SPACE"), XK_space);
    EXPECT_EQ(KeySymbols::keySymbolOfKeyName("RETURN"), XK_Return);
    EXPECT_EQ(KeySymbols::keySymbolOfKeyName("ENTER"), XK_KP_Enter);
    EXPECT_EQ(KeySymbols::keySymbolOfKeyName("PAGE DOWN"), XK_Page_Down);
    EXPECT_FALSE(KeySymbols::keySymbolOfKeyName("f1"));
    EXPECT_FALSE(KeySymbols::keySymbolOfKeyName("UPARROW"));
    EXPECT_FALSE(KeySymbols::keySymbolOfKeyName(""));

    EXPECT_EQ(KeySymbols::keySymbolName("UP ARROW"), "Up");
    EXPECT_EQ(KeySymbols::keySymbolName("Q"), "q");
    EXPECT_EQ(KeySymbols::keySymbolName("F12"), "F12");
    EXPECT_EQ(KeySymbols::keySymbolName("SPACE"), "space");
    EXPECT_EQ(KeySymbols::keySymbolName("ENTER"), "KP_Enter");
    EXPECT_EQ(KeySymbols::keySymbolName("PAGE UP"), "Page_Up");
    EXPECT_EQ(KeySymbols::keySymbolName("F14"), "");
}

TEST(KeySymbols, EveryNameOfTheKeyNameTableHasAKeySymbolOfItsOwn)
{
    QHash<std::uint32_t, QString> names;
    for (const KeyCodeRow& row : _keyCodes) {
        const std::optional<std::uint32_t> symbol = KeySymbols::keySymbolOfKeyName(row.name);
        ASSERT_TRUE(symbol) << row.name;
        EXPECT_FALSE(names.contains(*symbol)) << row.name << " and " << names.value(*symbol).toStdString();
        names.insert(*symbol, row.name);
    }
}
