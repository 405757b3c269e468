#include "platform/plist/PropertyListScanner.h"

#include "platform/plist/Utf8.h"

#include <array>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quorvel {

namespace {

// Byte classes, looked up once per byte in the scanner's inner loops. Special bytes stop a
// run of plain character data: markup, carriage returns, control characters XML forbids, and
// the lead byte of U+FFFE and U+FFFF, which it forbids too.
enum ByteClass : quint8 { Space = 1, EndsName = 2, Special = 4 };

constexpr std::array<quint8, 256> makeByteClasses()
{
    std::array<quint8, 256> classes {};
    for (int c = 0; c < 0x20; ++c)
        classes[c] = Special;
    for (const char c : { ' ', '\t', '\n', '\r' })
        classes[uchar(c)] = Space | EndsName;
    classes['\r'] |= Special;
    for (const char c : { '>', '/', '<' })
        classes[uchar(c)] |= EndsName;
    classes['<'] |= Special;
    classes['&'] |= Special;
    classes[0xEF] |= Special;
    return classes;
}
constexpr std::array<quint8, 256> byteClasses = makeByteClasses();

bool isXmlSpace(char c)
{
    return byteClasses[uchar(c)] & Space;
}

bool endsName(char c)
{
    return byteClasses[uchar(c)] & EndsName;
}

bool isSpecial(char c)
{
    return byteClasses[uchar(c)] & Special;
}

// Tag names and keys are a few bytes long: an inline loop beats a call to memcmp.
bool sameBytes(const char* a, const char* b, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

// The first special byte at or after p, or end: where plain character data stops.
char* findSpecial(char* p, const char* end)
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
bool isNoncharacter(const char* p, const char* end)
{
    return end - p >= 3 && uchar(p[0]) == 0xEF && uchar(p[1]) == 0xBF && (uchar(p[2]) & 0xFE) == 0xBE;
}

int digitValue(char c, bool hex)
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

} // namespace

bool Text::equals(const char* other, qsizetype n) const
{
    return size == n && sameBytes(data, other, n);
}

Text Text::trimmed() const
{
    Text t = *this;
    while (t.size > 0 && isXmlSpace(*t.data)) {
        ++t.data;
        --t.size;
    }
    while (t.size > 0 && isXmlSpace(t.data[t.size - 1]))
        --t.size;
    return t;
}

PropertyListScanner::PropertyListScanner(char* begin, char* end)
    : p(begin)
    , end(end)
{
}

template <std::size_t N> bool PropertyListScanner::startsWith(const char (&literal)[N]) const
{
    return end - p >= qsizetype(N - 1) && sameBytes(p, literal, N - 1);
}

// Skips to just after the literal; false when the document ends first.
template <std::size_t N> bool PropertyListScanner::skipPast(const char (&literal)[N])
{
    for (;;) {
        void* hit = std::memchr(p, literal[0], size_t(end - p));
        if (!hit)
            return false;
        p = static_cast<char*>(hit);
        if (startsWith(literal)) {
            p += N - 1;
            return true;
        }
        ++p;
    }
}

// White space, comments and processing instructions between elements.
bool PropertyListScanner::skipMisc()
{
    for (;;) {
        while (p < end && isXmlSpace(*p))
            ++p;
        if (startsWith("<!--")) {
            if (!skipComment())
                return false;
        } else if (startsWith("<?")) {
            p += 2;
            if (!skipPast("?>"))
                return false;
        } else {
            return true;
        }
    }
}

bool PropertyListScanner::skipComment()
{
    p += 4;
    return skipPast("-->");
}

// The document type declaration, with an internal subset in brackets if there is one.
bool PropertyListScanner::skipDoctype()
{
    p += 9;
    char quote = 0;
    int brackets = 0;
    for (; p < end; ++p) {
        const char c = *p;
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            ++p;
            return true;
        }
    }
    return false;
}

bool PropertyListScanner::openPlist()
{
    if (startsWith("\xEF\xBB\xBF"))
        p += 3;
    if (!skipMisc())
        return false;
    if (startsWith("<!DOCTYPE")) {
        if (!skipDoctype() || !skipMisc())
            return false;
    }
    Tag tag;
    return readTag(tag) && tag.kind == Tag::Open && tag.is("plist");
}

bool PropertyListScanner::closePlist()
{
    Tag tag;
    if (!skipMisc() || !readTag(tag) || tag.kind != Tag::Close || !tag.is("plist") || !skipMisc())
        return false;
    return p == end;
}

bool PropertyListScanner::readValueTag(Tag& tag)
{
    return skipMisc() && readTag(tag) && tag.kind != Tag::Close;
}

bool PropertyListScanner::readEntry(const Tag& keyTag, Text& key, Tag& valueTag)
{
    return keyTag.is("key") && readText(keyTag, key) && readValueTag(valueTag);
}

bool PropertyListScanner::expectEmptyContent(const Tag& open)
{
    return open.kind == Tag::Empty || (skipMisc() && expectClose(open));
}

// Reads "<name attributes>", "<name/>" or "</name>" at the current position.
bool PropertyListScanner::readTag(Tag& tag)
{
    if (p >= end || *p != '<')
        return false;
    ++p;
    tag.kind = Tag::Open;
    if (p < end && *p == '/') {
        tag.kind = Tag::Close;
        ++p;
    }
    const char* name = p;
    while (p < end && !endsName(*p))
        ++p;
    tag.name = { name, p - name };
    if (tag.name.size == 0)
        return false;
    if (p < end && *p == '>') { // the common case: no attributes, no space
        ++p;
        return true;
    }
    return finishTag(tag);
}

// Attributes (skipped; only the root carries one) and the tag's end.
bool PropertyListScanner::finishTag(Tag& tag)
{
    while (p < end) {
        const char c = *p;
        if (c == '>') {
            ++p;
            return true;
        }
        if (c == '/' && tag.kind == Tag::Open && p + 1 < end && p[1] == '>') {
            tag.kind = Tag::Empty;
            p += 2;
            return true;
        }
        if (c == '"' || c == '\'') {
            void* close = std::memchr(p + 1, c, size_t(end - p - 1));
            if (!close)
                return false;
            p = static_cast<char*>(close) + 1;
            continue;
        }
        if (c == '<' || (tag.kind == Tag::Close && !isXmlSpace(c)))
            return false;
        ++p;
    }
    return false;
}

bool PropertyListScanner::expectClose(const Tag& open)
{
    const qsizetype n = open.name.size;
    if (end - p >= n + 3 && p[0] == '<' && p[1] == '/' && p[n + 2] == '>'
        && sameBytes(p + 2, open.name.data, n)) {
        p += n + 3;
        return true;
    }
    Tag close;
    return readTag(close) && close.kind == Tag::Close && close.name.equals(open.name.data, open.name.size);
}

// The common case (no reference, no CDATA, no carriage return) is a view into the document
// as it stands; otherwise the decoded text is moved down over what it was decoded from.
bool PropertyListScanner::readText(const Tag& open, Text& text)
{
    if (open.kind == Tag::Empty) {
        text = { p, 0 };
        return true;
    }
    char* const start = p;
    char* out = p; // where the decoded text ends; behind p once something was decoded
    for (;;) {
        char* const stop = findSpecial(p, end);
        if (out != p)
            std::memmove(out, p, size_t(stop - p));
        out += stop - p;
        p = stop;
        if (p == end)
            return false;
        if (*p != '<') {
            if (!decodeCharacter(out))
                return false;
        } else if (atEndTag()) {
            text = { start, out - start };
            return expectClose(open);
        } else if (startsWith("<![CDATA[")) {
            if (!decodeCdata(out))
                return false;
        } else if (startsWith("<!--")) {
            if (!skipComment())
                return false;
        } else {
            return false; // an element inside text
        }
    }
}

// The special byte at p that is not markup: a reference, a line end, a byte that only looked
// special, or a character XML forbids.
bool PropertyListScanner::decodeCharacter(char*& out)
{
    const char c = *p;
    if (c == '&')
        return decodeReference(out);
    if (c == '\r') { // XML's end-of-line handling: CR LF and a lone CR both read as LF
        *out++ = '\n';
        ++p;
        if (p < end && *p == '\n')
            ++p;
        return true;
    }
    if (uchar(c) == 0xEF && !isNoncharacter(p, end)) {
        *out++ = *p++;
        return true;
    }
    return false;
}

// "&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&#38;" or "&#x26;" (with any number of leading
// zeros). A reference is never shorter than the character it stands for, so the character
// always fits behind the position already read.
bool PropertyListScanner::decodeReference(char*& out)
{
    const char* q = p + 1;
    if (q < end && *q == '#') {
        const bool hex = ++q < end && *q == 'x';
        q += hex;
        const char* const digits = q;
        char32_t code = 0;
        for (int digit; q < end && (digit = digitValue(*q, hex)) >= 0; ++q)
            code = std::min<char32_t>(code * (hex ? 16 : 10) + char32_t(digit), 0x110000);
        if (q == digits || q == end || *q != ';' || !Utf8::isXmlCharacter(code))
            return false;
        p = const_cast<char*>(q) + 1;
        out = Utf8::encode(out, code);
        return true;
    }
    static constexpr struct {
        const char* name;
        qsizetype size;
        char character;
    } named[] = { { "amp;", 4, '&' }, { "lt;", 3, '<' }, { "gt;", 3, '>' }, { "quot;", 5, '"' },
        { "apos;", 5, '\'' } };
    for (const auto& entity : named) {
        if (end - q >= entity.size && sameBytes(q, entity.name, entity.size)) {
            p = const_cast<char*>(q) + entity.size;
            *out++ = entity.character;
            return true;
        }
    }
    return false;
}

// "<![CDATA[...]]>": its characters as they stand, but for line ends and forbidden characters.
bool PropertyListScanner::decodeCdata(char*& out)
{
    p += 9;
    char* const from = p;
    if (!skipPast("]]>"))
        return false;
    const char* const to = p - 3;
    for (const char* q = from; q < to;) {
        const char c = *q;
        if (c == '\r') {
            *out++ = '\n';
            q += (q + 1 < to && q[1] == '\n') ? 2 : 1;
        } else if ((isSpecial(c) && c != '<' && c != '&' && uchar(c) != 0xEF) || isNoncharacter(q, to)) {
            return false;
        } else {
            *out++ = *q++;
        }
    }
    return true;
}

} // namespace quorvel
