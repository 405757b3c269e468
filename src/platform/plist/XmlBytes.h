#pragma once
// What a byte of an XML property list is, for the scanner's inner loops: white space, the end of
// a tag's name, or special (a byte that stops a run of plain character data: markup, carriage
// returns, control characters XML forbids, and the lead byte of U+FFFE and U+FFFF, which it
// forbids too), found sixteen bytes at a time where the processor allows. All inline: they run
// once per byte of a file. Internal to the property-list reader.

#include <QtGlobal>

#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quorvel {

class XmlBytes final {
public:
    static bool isSpace(char c) { return classes[uchar(c)] & Space; }
    static bool endsName(char c) { return classes[uchar(c)] & EndsName; }
    static bool isSpecial(char c) { return classes[uchar(c)] & Special; }

    // Tag names and keys are a few bytes long: an inline loop beats a call to memcmp.
    static bool same(const char* a, const char* b, qsizetype n)
    {
        for (qsizetype i = 0; i < n; ++i) {
            if (a[i] != b[i])
                return false;
        }
        return true;
    }

    // The first special byte at or after p, or end: where plain character data stops.
    static char* findSpecial(char* p, const char* end)
    {
#ifdef __SSE2__
        const __m128i lt = _mm_set1_epi8('<'), amp = _mm_set1_epi8('&'), lead = _mm_set1_epi8(char(0xEF));
        const __m128i tab = _mm_set1_epi8('\t'), lineFeed = _mm_set1_epi8('\n');
        const __m128i lastControl = _mm_set1_epi8(0x1F);
        for (; end - p >= 16; p += 16) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i control = _mm_cmpeq_epi8(_mm_max_epu8(chunk, lastControl), lastControl);
            const __m128i allowed = _mm_or_si128(_mm_cmpeq_epi8(chunk, tab), _mm_cmpeq_epi8(chunk, lineFeed));
            const __m128i markup = _mm_or_si128(_mm_cmpeq_epi8(chunk, lt), _mm_cmpeq_epi8(chunk, amp));
            const __m128i special = _mm_or_si128(
                _mm_or_si128(markup, _mm_cmpeq_epi8(chunk, lead)), _mm_andnot_si128(allowed, control));
            if (const int mask = _mm_movemask_epi8(special))
                return p + __builtin_ctz(unsigned(mask));
        }
#endif
        while (p < end && !isSpecial(*p))
            ++p;
        return p;
    }

    // U+FFFE and U+FFFF, which XML forbids, encoded at p.
    static bool isNoncharacter(const char* p, const char* end)
    {
        return end - p >= 3 && uchar(p[0]) == 0xEF && uchar(p[1]) == 0xBF && (uchar(p[2]) & 0xFE) == 0xBE;
    }

    // The digit's value in a character reference (decimal, or hexadecimal); -1 for no digit.
    static int digitValue(char c, bool hex)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (!hex)
            return -1;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

private:
    enum ByteClass : quint8 { Space = 1, EndsName = 2, Special = 4 };

    static constexpr std::array<quint8, 256> makeClasses()
    {
        std::array<quint8, 256> table {};
        for (int c = 0; c < 0x20; ++c)
            table[c] = Special;
        for (const char c : { ' ', '\t', '\n', '\r' })
            table[uchar(c)] = Space | EndsName;
        table['\r'] |= Special;
        for (const char c : { '>', '/', '<' })
            table[uchar(c)] |= EndsName;
        table['<'] |= Special;
        table['&'] |= Special;
        table[0xEF] |= Special;
        return table;
    }

    // Looked up once per byte.
    static const std::array<quint8, 256> classes;
};

inline constexpr std::array<quint8, 256> XmlBytes::classes = XmlBytes::makeClasses();

} // namespace quorvel
