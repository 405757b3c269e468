// The bytes the table keeps its upper-cased names in: text comes back unchanged, lone surrogates
// included, and text without them is plain UTF-8.

#include "search/Wtf8.h"

#include <QRandomGenerator>
#include <QStringList>
#include <gtest/gtest.h>

using namespace quorvel;

TEST(Wtf8, TextComesBackAsItWasAndIsUtf8WithoutLoneSurrogates)
{
    const QStringList pieces = { "A", "é", "Ĵ", "\u07FF", "\u0800", "\uFFFD", "\uFFFF", "\U0001D11E",
        "\U0010FFFF", QString(QChar(0xD834)), QString(QChar(0xDD1E)), QString(QChar(u'\0')) };
    QRandomGenerator random(5);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        for (int k = random.bounded(0, 8); k > 0; --k)
            text += pieces[random.bounded(pieces.size())];
        const QByteArray bytes = Wtf8::of(text);
        ASSERT_EQ(Wtf8::decode(bytes), text);
        const bool lone = Wtf8::hasLoneSurrogate(text);
        ASSERT_EQ(Wtf8::holdsSurrogate(bytes), lone);
        if (!lone) {
            ASSERT_EQ(bytes, text.toUtf8());
        }
    }
}

TEST(Wtf8, BytesNoEncoderMakesDecodeToReplacementsWithoutReadingPastTheEnd)
{
    EXPECT_EQ(Wtf8::decode(QByteArray("\xC3", 1)), QString(QChar(QChar::ReplacementCharacter)));
    EXPECT_EQ(Wtf8::decode(QByteArray("\x80"
                                      "A",
                  2)),
        QString(QChar(QChar::ReplacementCharacter)) + "A");
    EXPECT_EQ(Wtf8::decode(QByteArray("\xF4\x90\x80\x80", 4)), QString(QChar(QChar::ReplacementCharacter)));
}
