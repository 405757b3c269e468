#include "search/Wtf8.h"

#include <cstring>

namespace quorvel {

namespace {

void appendCode(char32_t code, QByteArray& out)
{
    if (code < 0x80) {
        out.append(char(code));
    } else if (code < 0x800) {
        out.append(char(0xC0 | (code >> 6)));
        out.append(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.append(char(0xE0 | (code >> 12)));
        out.append(char(0x80 | ((code >> 6) & 0x3F)));
        out.append(char(0x80 | (code & 0x3F)));
    } else {
        out.append(char(0xF0 | (code >> 18)));
        out.append(char(0x80 | ((code >> 12) & 0x3F)));
        out.append(char(0x80 | ((code >> 6) & 0x3F)));
        out.append(char(0x80 | (code & 0x3F)));
    }
}

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

} // namespace

QByteArray Wtf8::of(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    const char16_t* units = reinterpret_cast<const char16_t*>(text.data());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            out.append(char(unit));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < n && QChar::isLowSurrogate(units[i + 1])) {
            appendCode(QChar::surrogateToUcs4(unit, units[i + 1]), out);
            ++i;
        } else {
            appendCode(unit, out);
        }
    }
    return out;
}

QString Wtf8::decode(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = at + bytes.size();
    while (at != end) {
        const unsigned char lead = *at;
        const int length = sequenceLength(lead);
        if (lead < 0x80) {
            text.append(QChar(lead));
            ++at;
            continue;
        }
        bool whole = lead >= 0xC0 && end - at >= length;
        for (int k = 1; whole && k < length; ++k)
            whole = isContinuation(at[k]);
        if (!whole) {
            text.append(QChar(QChar::ReplacementCharacter));
            ++at;
            continue;
        }
        char32_t code = lead & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            code = (code << 6) | (at[k] & 0x3F);
        if (code > 0x10FFFF)
            code = QChar::ReplacementCharacter;
        if (QChar::requiresSurrogates(code)) {
            text.append(QChar(QChar::highSurrogate(code)));
            text.append(QChar(QChar::lowSurrogate(code)));
        } else {
            text.append(QChar(char16_t(code)));
        }
        at += length;
    }
    return text;
}

bool Wtf8::hasLoneSurrogate(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
            ++i;
        else if (QChar::isSurrogate(c))
            return true;
    }
    return false;
}

bool Wtf8::holdsSurrogate(QByteArrayView bytes)
{
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    while ((at = static_cast<const char*>(std::memchr(at, 0xED, std::size_t(end - at)))) != nullptr) {
        if (end - at >= 2 && static_cast<unsigned char>(at[1]) >= 0xA0)
            return true;
        ++at;
    }
    return false;
}

} // namespace quorvel
