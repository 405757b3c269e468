#include "platform/plist/PropertyListScanner.h"

#include "platform/plist/Utf8.h"
#include "platform/plist/XmlBytes.h"

#include <cstring>

namespace quorvel {

bool Text::equals(const char* other, qsizetype n) const
{
    return size == n && XmlBytes::same(data, other, n);
}

Text Text::trimmed() const
{
    Text t = *this;
    while (t.size > 0 && XmlBytes::isSpace(*t.data)) {
        ++t.data;
        --t.size;
    }
    while (t.size > 0 && XmlBytes::isSpace(t.data[t.size - 1]))
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
    return end - p >= qsizetype(N - 1) && XmlBytes::same(p, literal, N - 1);
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
        while (p < end && XmlBytes::isSpace(*p))
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
    while (p < end && !XmlBytes::endsName(*p))
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
        if (c == '<' || (tag.kind == Tag::Close && !XmlBytes::isSpace(c)))
            return false;
        ++p;
    }
    return false;
}

bool PropertyListScanner::expectClose(const Tag& open)
{
    const qsizetype n = open.name.size;
    if (end - p >= n + 3 && p[0] == '<' && p[1] == '/' && p[n + 2] == '>'
        && XmlBytes::same(p + 2, open.name.data, n)) {
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
        char* const stop = XmlBytes::findSpecial(p, end);
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
    if (uchar(c) == 0xEF && !XmlBytes::isNoncharacter(p, end)) {
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
        for (int digit; q < end && (digit = XmlBytes::digitValue(*q, hex)) >= 0; ++q)
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
        if (end - q >= entity.size && XmlBytes::same(q, entity.name, entity.size)) {
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
        } else if ((XmlBytes::isSpecial(c) && c != '<' && c != '&' && uchar(c) != 0xEF)
            || XmlBytes::isNoncharacter(q, to)) {
            return false;
        } else {
            *out++ = *q++;
        }
    }
    return true;
}

} // namespace quorvel
