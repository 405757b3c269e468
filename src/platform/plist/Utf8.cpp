#include "platform/plist/Utf8.h"

#include <QStringDecoder>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quorvel {

namespace {

// Widens the leading ASCII bytes to UTF-16, 16 at a time; answers how many there were. Names
// and paths are mostly ASCII, and this is where reading the index spends its time.
qsizetype widenAscii(char16_t* out, const char* in, qsizetype n)
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        if (_mm_movemask_epi8(chunk))
            break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(chunk, zero));
    }
#endif
    for (; i < n && uchar(in[i]) < 0x80; ++i)
        out[i] = char16_t(in[i]);
    return i;
}

bool isContinuation(uchar c)
{
    return (c & 0xC0) == 0x80;
}

// Decodes one multi-byte sequence at in[i] (well-formed UTF-8 only: no overlong forms, no
// surrogates, nothing above U+10FFFF); answers false at anything else.
bool decodeSequence(const char* in, qsizetype n, qsizetype& i, char16_t*& out)
{
    const uchar c = uchar(in[i]);
    const qsizetype left = n - i;
    if (c >= 0xC2 && c < 0xE0 && left >= 2 && isContinuation(uchar(in[i + 1]))) {
        *out++ = char16_t(((c & 0x1F) << 6) | (uchar(in[i + 1]) & 0x3F));
        i += 2;
        return true;
    }
    if (c >= 0xE0 && c < 0xF0 && left >= 3 && isContinuation(uchar(in[i + 1]))
        && isContinuation(uchar(in[i + 2]))) {
        const uchar second = uchar(in[i + 1]);
        if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second >= 0xA0))
            return false;
        *out++ = char16_t(((c & 0x0F) << 12) | ((second & 0x3F) << 6) | (uchar(in[i + 2]) & 0x3F));
        i += 3;
        return true;
    }
    if (c >= 0xF0 && c < 0xF5 && left >= 4 && isContinuation(uchar(in[i + 1]))
        && isContinuation(uchar(in[i + 2])) && isContinuation(uchar(in[i + 3]))) {
        const uchar second = uchar(in[i + 1]);
        if ((c == 0xF0 && second < 0x90) || (c == 0xF4 && second >= 0x90))
            return false;
        const char32_t code = ((c & 0x07) << 18) | ((second & 0x3F) << 12) | ((uchar(in[i + 2]) & 0x3F) << 6)
            | (uchar(in[i + 3]) & 0x3F);
        *out++ = char16_t(0xD800 + ((code - 0x10000) >> 10));
        *out++ = char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
        i += 4;
        return true;
    }
    return false;
}

} // namespace

char* Utf8::encode(char* o, char32_t c)
{
    if (c < 0x80) {
        *o++ = char(c);
    } else if (c < 0x800) {
        *o++ = char(0xC0 | (c >> 6));
        *o++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = char(0xE0 | (c >> 12));
        *o++ = char(0x80 | ((c >> 6) & 0x3F));
        *o++ = char(0x80 | (c & 0x3F));
    } else {
        *o++ = char(0xF0 | (c >> 18));
        *o++ = char(0x80 | ((c >> 12) & 0x3F));
        *o++ = char(0x80 | ((c >> 6) & 0x3F));
        *o++ = char(0x80 | (c & 0x3F));
    }
    return o;
}

void Utf8::decodeInto(QString& target, const char* data, qsizetype size)
{
    // UTF-16 never needs more units than UTF-8 has bytes. A new buffer is of exactly that size:
    // growing one would round a large name up to the next power of two.
    if (!target.isDetached() || target.capacity() < size)
        target = QString(size, Qt::Uninitialized);
    else
        target.resize(size);
    char16_t* const begin = reinterpret_cast<char16_t*>(target.data());
    char16_t* out = begin;
    qsizetype i = 0;
    for (;;) {
        const qsizetype ascii = widenAscii(out, data + i, size - i);
        out += ascii;
        i += ascii;
        if (i == size)
            break;
        if (!decodeSequence(data, size, i, out)) {
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            QChar* end = utf8.appendToBuffer(reinterpret_cast<QChar*>(begin), QByteArrayView(data, size));
            out = reinterpret_cast<char16_t*>(end);
            break;
        }
    }
    target.truncate(out - begin);
}

QString Utf8::decoded(const char* data, qsizetype size)
{
    QString string;
    decodeInto(string, data, size);
    return string;
}

} // namespace quorvel
