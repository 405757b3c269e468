#pragma once
// UTF-8 as the property-list reader and writer need it: encoding one code point, decoding text
// into a QString fast (mostly ASCII names and paths) and exactly as QString::fromUtf8 would,
// and the code points XML 1.0 can carry at all. Internal to the property-list code.

#include <QString>

namespace quorvel {

class Utf8 final {
public:
    // Writes c (at most U+10FFFF) at out; answers the end of what was written (1 to 4 bytes).
    static char* encode(char* out, char32_t c);
    // Decodes into target, reusing its buffer when no one else shares it. Malformed input is
    // left to Qt's decoder, so that it becomes U+FFFD exactly as with QString::fromUtf8.
    static void decodeInto(QString& target, const char* data, qsizetype size);
    static QString decoded(const char* data, qsizetype size);

    // Whether a code point may appear in an XML 1.0 document at all.
    static bool isXmlCharacter(char32_t c)
    {
        if (c < 0x20)
            return c == '\t' || c == '\n' || c == '\r';
        return (c < 0xD800) || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
    }
};

} // namespace quorvel
