#include "install/KeyCodes.h"

#include <QFile>
#include <QHash>
#include <QStringList>
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

// Stored settings name their key by the released table's names and codes: a later table may
// add rows, never change or drop one.
TEST(KeyCodes, EveryReleasedRowKeepsItsCodeAndFlag)
{
    QFile released(QStringLiteral(QUORVEL_SOURCE_DIR "/tests/install/data/released-key-codes.tsv"));
    ASSERT_TRUE(released.open(QIODevice::ReadOnly | QIODevice::Text));
    QHash<QString, const KeyCodeRow*> rows;
    for (const KeyCodeRow& row : _keyCodes) {
        EXPECT_FALSE(rows.contains(row.name)) << "two rows named " << row.name;
        rows.insert(QString::fromLatin1(row.name), &row);
    }
    int checked = 0;
    while (!released.atEnd()) {
        const QString line = QString::fromUtf8(released.readLine()).chopped(1);
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        ASSERT_EQ(fields.size(), 3) << line.toStdString();
        const KeyCodeRow* row = rows.value(fields[0]);
        ASSERT_TRUE(row) << fields[0].toStdString() << " is gone";
        EXPECT_EQ(keyCodeOfString(fields[0]), fields[1].toUShort()) << fields[0].toStdString();
        EXPECT_EQ(row->allowWithoutModifier, fields[2].toUShort()) << fields[0].toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 60);
}

TEST(KeyCodes, SpaceReturnEnterAndThePageKeysHaveCodesOfTheirOwnAndAreBuiltOnce)
{
    EXPECT_EQ(keyCodeOfString("SPACE"), std::optional<std::uint16_t>(49));
    EXPECT_EQ(keyCodeOfString("RETURN"), std::optional<std::uint16_t>(36));
    EXPECT_EQ(keyCodeOfString("ENTER"), std::optional<std::uint16_t>(76)); // the keypad's
    EXPECT_EQ(keyCodeOfString("PAGE UP"), std::optional<std::uint16_t>(116));
    EXPECT_EQ(keyCodeOfString("PAGE DOWN"), std::optional<std::uint16_t>(121));
    EXPECT_FALSE(keyCodeOfString("PAGEUP"));
    EXPECT_FALSE(keyCodeOfString("Space"));
    for (int i = 0; i < 100; ++i)
        keyCodeOfString("Z");
    EXPECT_EQ(_keyCodeMapBuildCount(), 1);
}
