#pragma once
// UTF-16 text as bytes with nothing lost: UTF-8, except that a lone surrogate (which UTF-8 has no
// form for) takes the three bytes its code would take. A table keeps its upper-cased names so:
// for text without lone surrogates the bytes are plain UTF-8, and one string occurs in another
// exactly where its bytes occur in the other's bytes, at the same characters.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace quorvel {

class Wtf8 final {
public:
    static QByteArray of(QStringView text);
    // The text back; a byte that begins no sequence this encoding makes turns into U+FFFD.
    static QString decode(QByteArrayView bytes);
    static bool hasLoneSurrogate(QStringView text);
    // Whether bytes hold a lone surrogate's sequence (0xED followed by 0xA0 to 0xBF).
    static bool holdsSurrogate(QByteArrayView bytes);
    // The bytes of the character that begins with lead: 1 to 4.
    static int sequenceLength(unsigned char lead)
    {
        return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    }
};

} // namespace quorvel
