#include "platform/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <fcntl.h>
#include <unistd.h>

namespace quorvel {

namespace {

// Deeper nesting than this is refused: the parser recurses once per level, and no property list
// written by a person or a program comes anywhere near it.
constexpr int maximumDepth = 512;

// The bytes of a whole file, read in one go. Not mapped: a mapped file that another program
// truncates while it is parsed would end the process with a bus error, and a bad file must never
// do more than read as no value.
class FileBytes final {
public:
    explicit FileBytes(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        opened = true;
        buffer = file.readAll();
    }
    bool isOpen() const { return opened; }
    const char* begin() const { return buffer.constData(); }
    const char* end() const { return begin() + buffer.size(); }

private:
    bool opened = false;
    QByteArray buffer;
};

// Byte classes, looked up once per byte in the parser's inner loops.
enum ByteClass : quint8 { Space = 1, EndsName = 2 };

constexpr std::array<quint8, 256> makeByteClasses()
{
    std::array<quint8, 256> classes {};
    for (const char c : { ' ', '\t', '\n', '\r' })
        classes[uchar(c)] = Space | EndsName;
    for (const char c : { '>', '/', '<' })
        classes[uchar(c)] = EndsName;
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

// Whether a code point may appear in an XML 1.0 document at all.
bool isXmlCharacter(char32_t c)
{
    if (c < 0x20)
        return c == '\t' || c == '\n' || c == '\r';
    return (c < 0xD800) || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

char* encodeUtf8(char* o, char32_t c)
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

void appendUtf8(QByteArray& out, char32_t c)
{
    char buffer[4];
    out.append(buffer, encodeUtf8(buffer, c) - buffer);
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

// The first '<' or '&' at or after p, or end: where plain character data stops.
const char* findMarkup(const char* p, const char* end)
{
#ifdef __SSE2__
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i amp = _mm_set1_epi8('&');
    for (; end - p >= 16; p += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask
            = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, lt), _mm_cmpeq_epi8(chunk, amp)));
        if (mask)
            return p + __builtin_ctz(unsigned(mask));
    }
#endif
    while (p < end && *p != '<' && *p != '&')
        ++p;
    return p;
}

// A view of some bytes of the file, or of the decoded copy when the text held references.
struct Text {
    const char* data = nullptr;
    qsizetype size = 0;

    bool equals(const char* other, qsizetype n) const { return size == n && sameBytes(data, other, n); }
    Text trimmed() const
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
};

struct Tag {
    enum Kind { Open, Close, Empty };
    Kind kind = Open;
    Text name;

    template <size_t N> bool is(const char (&literal)[N]) const { return name.equals(literal, N - 1); }
};

std::optional<QVariant> parseInteger(Text text)
{
    text = text.trimmed();
    const char* p = text.data;
    const char* end = p + text.size;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+'))
        negative = *p++ == '-';
    int base = 10;
    if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (p == end)
        return std::nullopt;
    quint64 magnitude = 0;
    const auto [stop, error] = std::from_chars(p, end, magnitude, base);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    if (negative) {
        constexpr quint64 limit = quint64(std::numeric_limits<qint64>::max()) + 1;
        if (magnitude > limit)
            return std::nullopt;
        return QVariant(qint64(0 - magnitude));
    }
    if (magnitude > quint64(std::numeric_limits<qint64>::max()))
        return QVariant(qulonglong(magnitude));
    return QVariant(qint64(magnitude));
}

std::optional<QVariant> parseReal(Text text)
{
    text = text.trimmed();
    const char* p = text.data;
    const char* end = p + text.size;
    // from_chars takes no leading '+', which other writers put before "infinity".
    if (p < end && *p == '+' && end - p > 1 && p[1] != '-')
        ++p;
    if (p == end)
        return std::nullopt;
    double value = 0;
    const auto [stop, error] = std::from_chars(p, end, value, std::chars_format::general);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return QVariant(value);
}

// "2026-12-08T01:00:00Z"; the zone letter may be missing, the time is UTC either way.
std::optional<QVariant> parseDate(Text text)
{
    text = text.trimmed();
    if (text.size == 20 && text.data[19] == 'Z')
        --text.size;
    static constexpr char shape[] = "dddd-dd-ddTdd:dd:dd";
    if (text.size != 19)
        return std::nullopt;
    for (int i = 0; i < 19; ++i) {
        const bool digit = text.data[i] >= '0' && text.data[i] <= '9';
        if (shape[i] == 'd' ? !digit : text.data[i] != shape[i])
            return std::nullopt;
    }
    auto number = [&text](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i)
            value = value * 10 + (text.data[i] - '0');
        return value;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QVariant(QDateTime(date, time, Qt::UTC));
}

std::optional<QVariant> parseData(Text text)
{
    QByteArray compact;
    compact.reserve(text.size);
    for (qsizetype i = 0; i < text.size; ++i) {
        if (!isXmlSpace(text.data[i]))
            compact.append(text.data[i]);
    }
    auto decoded = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return QVariant(*decoded);
}

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

// Decodes UTF-8 into target, reusing its buffer when no one else shares it. Malformed input is
// left to Qt's decoder, so that it becomes U+FFFD exactly as with QString::fromUtf8.
void decodeInto(QString& target, const char* data, qsizetype size)
{
    if (!target.isDetached())
        target = QString();
    target.resize(size); // UTF-16 never needs more units than UTF-8 has bytes
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

QString decoded(const char* data, qsizetype size)
{
    QString string;
    decodeInto(string, data, size);
    return string;
}

// Short strings that repeat (dictionary keys, type codes) share one QString instead of
// allocating a new one each time: an index of 100,000 dictionaries holds the same three keys and
// four type codes throughout. A direct-mapped table that keeps the most recent string per slot.
class ShortStringCache final {
public:
    static constexpr qsizetype longest = 16;

    QString string(const char* data, qsizetype size)
    {
        if (size > longest)
            return decoded(data, size);
        quint32 hash = 2166136261u;
        for (qsizetype i = 0; i < size; ++i)
            hash = (hash ^ uchar(data[i])) * 16777619u;
        Slot& slot = slots[hash % slotCount];
        if (slot.size != size || std::memcmp(slot.bytes, data, size_t(size)) != 0) {
            slot.size = size;
            std::memcpy(slot.bytes, data, size_t(size));
            slot.string = decoded(data, size);
        }
        return slot.string;
    }

private:
    static constexpr quint32 slotCount = 64;
    struct Slot {
        qsizetype size = -1;
        char bytes[longest];
        QString string;
    };
    Slot slots[slotCount];
};

void clearReused(QString& target)
{
    if (target.isDetached())
        target.truncate(0);
    else
        target = QString();
}

// A recursive-descent parser over the bytes of a whole document. Any fault makes it fail as a
// whole: the caller then answers no value, never a part of one.
class Parser final {
public:
    Parser(const char* begin, const char* end)
        : p(begin)
        , end(end)
    {
    }

    std::optional<QVariant> parseDocument()
    {
        if (!openPlist())
            return std::nullopt;
        Tag tag;
        if (!skipMisc() || !readTag(tag) || tag.kind == Tag::Close)
            return std::nullopt;
        QVariant root;
        if (!parseElement(tag, root) || !closePlist())
            return std::nullopt;
        return root;
    }

    bool streamRecords(const QStringList& keys, const PropertyList::StringRecordVisitor& visit)
    {
        Tag tag;
        if (!openPlist() || !skipMisc() || !readTag(tag) || !tag.is("array") || tag.kind == Tag::Close)
            return false;
        if (tag.kind == Tag::Open && !streamArray(keys, visit))
            return false;
        return closePlist();
    }

private:
    const char* p;
    const char* end;
    int depth = 0;
    QByteArray scratch; // decoded text when it held references or CDATA
    ShortStringCache shortStrings;

    template <size_t N> bool startsWith(const char (&literal)[N]) const
    {
        return end - p >= qsizetype(N - 1) && sameBytes(p, literal, N - 1);
    }

    // Skips to just after the literal; false when the document ends first.
    template <size_t N> bool skipPast(const char (&literal)[N])
    {
        const size_t n = N - 1;
        for (;;) {
            const void* hit = std::memchr(p, literal[0], size_t(end - p));
            if (!hit)
                return false;
            p = static_cast<const char*>(hit);
            if (startsWith(literal)) {
                p += n;
                return true;
            }
            ++p;
        }
    }

    // White space, comments and processing instructions between elements.
    bool skipMisc()
    {
        for (;;) {
            while (p < end && isXmlSpace(*p))
                ++p;
            if (end - p < 2 || p[0] != '<' || (p[1] != '!' && p[1] != '?'))
                return true;
            if (startsWith("<!--")) {
                p += 4;
                if (!skipPast("-->"))
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

    // The document type declaration, with an internal subset in brackets if there is one.
    bool skipDoctype()
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

    bool openPlist()
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

    bool closePlist()
    {
        Tag tag;
        if (!skipMisc() || !readTag(tag) || tag.kind != Tag::Close || !tag.is("plist") || !skipMisc())
            return false;
        return p == end;
    }

    // Reads "<name attributes>", "<name/>" or "</name>" at the current position.
    bool readTag(Tag& tag)
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
    bool finishTag(Tag& tag)
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
                const void* close = std::memchr(p + 1, c, size_t(end - p - 1));
                if (!close)
                    return false;
                p = static_cast<const char*>(close) + 1;
                continue;
            }
            if (c == '<' || (tag.kind == Tag::Close && !isXmlSpace(c)))
                return false;
            ++p;
        }
        return false;
    }

    bool expectClose(const Tag& open)
    {
        const qsizetype n = open.name.size;
        if (end - p >= n + 3 && p[0] == '<' && p[1] == '/' && p[n + 2] == '>'
            && sameBytes(p + 2, open.name.data, n)) {
            p += n + 3;
            return true;
        }
        Tag close;
        return readTag(close) && close.kind == Tag::Close
            && close.name.equals(open.name.data, open.name.size);
    }

    // The character content of a text element up to its end tag. The common case (no references,
    // no CDATA, no comment) is a view into the file; otherwise the decoded bytes go to scratch.
    bool readText(const Tag& open, Text& text)
    {
        if (open.kind == Tag::Empty) {
            text = { p, 0 };
            return true;
        }
        const char* start = p;
        const char* stop = findMarkup(p, end);
        if (end - stop >= 2 && stop[0] == '<' && stop[1] == '/') {
            p = stop;
            text = { start, stop - start };
            return expectClose(open);
        }
        return readEscapedText(open, text);
    }

    bool readEscapedText(const Tag& open, Text& text)
    {
        scratch.clear();
        for (;;) {
            if (p >= end)
                return false;
            const char c = *p;
            if (c == '&') {
                if (!readReference())
                    return false;
            } else if (c != '<') {
                scratch.append(c);
                ++p;
            } else if (startsWith("<![CDATA[")) {
                const char* from = p + 9;
                p = from;
                if (!skipPast("]]>"))
                    return false;
                scratch.append(from, p - 3 - from);
            } else if (startsWith("<!--")) {
                p += 4;
                if (!skipPast("-->"))
                    return false;
            } else {
                text = { scratch.constData(), scratch.size() };
                return expectClose(open);
            }
        }
    }

    // "&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&#38;" or "&#x26;", appended to scratch.
    bool readReference()
    {
        const void* semicolon = std::memchr(p, ';', size_t(std::min<qsizetype>(end - p, 12)));
        if (!semicolon)
            return false;
        const char* stop = static_cast<const char*>(semicolon);
        const Text name { p + 1, stop - p - 1 };
        p = stop + 1;
        if (name.equals("amp", 3))
            scratch.append('&');
        else if (name.equals("lt", 2))
            scratch.append('<');
        else if (name.equals("gt", 2))
            scratch.append('>');
        else if (name.equals("quot", 4))
            scratch.append('"');
        else if (name.equals("apos", 4))
            scratch.append('\'');
        else
            return readCharacterReference(name);
        return true;
    }

    bool readCharacterReference(Text name)
    {
        if (name.size < 2 || name.data[0] != '#')
            return false;
        const bool hex = name.data[1] == 'x';
        const char* digits = name.data + (hex ? 2 : 1);
        const char* stop = name.data + name.size;
        if (digits == stop)
            return false;
        quint32 code = 0;
        const auto [last, error] = std::from_chars(digits, stop, code, hex ? 16 : 10);
        if (error != std::errc() || last != stop || !isXmlCharacter(code))
            return false;
        appendUtf8(scratch, code);
        return true;
    }

    // Dispatches on the element just opened.
    bool parseElement(const Tag& tag, QVariant& out)
    {
        if (tag.kind == Tag::Close)
            return false;
        if (tag.is("string")) {
            Text text;
            if (!readText(tag, text))
                return false;
            out = shortStrings.string(text.data, text.size);
            return true;
        }
        if (tag.is("dict"))
            return parseDictionary(tag, out);
        if (tag.is("array"))
            return parseArray(tag, out);
        if (tag.is("true") || tag.is("false")) {
            out = tag.is("true");
            return tag.kind == Tag::Empty || (skipMisc() && expectClose(tag));
        }
        std::optional<QVariant> (*parse)(Text) = nullptr;
        if (tag.is("integer"))
            parse = parseInteger;
        else if (tag.is("real"))
            parse = parseReal;
        else if (tag.is("date"))
            parse = parseDate;
        else if (tag.is("data"))
            parse = parseData;
        else
            return false;
        Text text;
        if (!readText(tag, text))
            return false;
        std::optional<QVariant> value = parse(text);
        if (!value)
            return false;
        out = std::move(*value);
        return true;
    }

    bool enter() { return ++depth <= maximumDepth; }

    // Reads the next child of a container: false at a fault; done set at the container's end tag.
    bool nextChild(const Tag& container, Tag& child, bool& done)
    {
        if (!skipMisc())
            return false;
        if (end - p >= 2 && p[0] == '<' && p[1] == '/') {
            done = true;
            return expectClose(container);
        }
        done = false;
        return readTag(child);
    }

    bool parseArray(const Tag& tag, QVariant& out)
    {
        QVariantList list;
        if (tag.kind == Tag::Open) {
            if (!enter())
                return false;
            for (;;) {
                Tag child;
                bool done = false;
                if (!nextChild(tag, child, done))
                    return false;
                if (done)
                    break;
                QVariant value;
                if (!parseElement(child, value))
                    return false;
                list.append(std::move(value));
            }
            --depth;
        }
        out = std::move(list);
        return true;
    }

    // The key text of "<key>".
    bool readKey(const Tag& tag, QString& key)
    {
        if (!tag.is("key") || tag.kind == Tag::Close)
            return false;
        Text text;
        if (!readText(tag, text))
            return false;
        key = shortStrings.string(text.data, text.size);
        return true;
    }

    // After a key, the value: a fault if the dictionary ends first.
    bool readValueTag(Tag& tag) { return skipMisc() && readTag(tag) && tag.kind != Tag::Close; }

    bool parseDictionary(const Tag& tag, QVariant& out)
    {
        QVariantMap map;
        if (tag.kind == Tag::Open) {
            if (!enter())
                return false;
            for (;;) {
                Tag keyTag;
                bool done = false;
                if (!nextChild(tag, keyTag, done))
                    return false;
                if (done)
                    break;
                QString key;
                Tag valueTag;
                QVariant value;
                if (!readKey(keyTag, key) || !readValueTag(valueTag) || !parseElement(valueTag, value))
                    return false;
                // Writers put keys in order, so the end is the right place nearly always (one
                // comparison); a repeated key replaces the earlier value: the last one wins.
                map.insert(map.cend(), key, std::move(value));
            }
            --depth;
        }
        out = std::move(map);
        return true;
    }

    // The root array of dictionaries, visiting each dictionary's requested string values.
    bool streamArray(const QStringList& keys, const PropertyList::StringRecordVisitor& visit)
    {
        Tag array;
        array.name = { "array", 5 };
        std::vector<QByteArray> wanted;
        for (const QString& key : keys)
            wanted.push_back(key.toUtf8());
        std::vector<QString> values(wanted.size());
        std::unique_ptr<bool[]> present(new bool[wanted.size() + 1]);
        ++depth;
        for (;;) {
            Tag child;
            bool done = false;
            if (!nextChild(array, child, done))
                return false;
            if (done)
                return true;
            if (!child.is("dict")) {
                QVariant skipped;
                if (!parseElement(child, skipped))
                    return false;
                continue;
            }
            std::fill(present.get(), present.get() + wanted.size(), false);
            for (QString& value : values)
                clearReused(value);
            if (child.kind == Tag::Open && !streamDictionary(child, wanted, values, present.get()))
                return false;
            visit(values.data(), present.get());
        }
    }

    bool streamDictionary(
        const Tag& tag, const std::vector<QByteArray>& wanted, std::vector<QString>& values, bool* present)
    {
        if (!enter())
            return false;
        for (;;) {
            Tag keyTag;
            bool done = false;
            if (!nextChild(tag, keyTag, done))
                return false;
            if (done)
                break;
            Text key;
            Tag valueTag;
            if (!keyTag.is("key") || !readText(keyTag, key))
                return false;
            const auto match = std::find_if(wanted.begin(), wanted.end(),
                [&key](const QByteArray& w) { return key.equals(w.constData(), w.size()); });
            if (!readValueTag(valueTag))
                return false;
            const size_t index = size_t(match - wanted.begin());
            if (match != wanted.end() && valueTag.is("string")) {
                Text text;
                if (!readText(valueTag, text))
                    return false;
                decodeInto(values[index], text.data, text.size);
                present[index] = true;
                continue;
            }
            QVariant skipped;
            if (!parseElement(valueTag, skipped))
                return false;
            if (match != wanted.end()) { // a later non-string value replaces an earlier string
                clearReused(values[index]);
                present[index] = false;
            }
        }
        --depth;
        return true;
    }
};

// Writes the XML form. Characters XML 1.0 cannot carry (control characters other than tab, line
// feed and carriage return; lone surrogates; U+FFFE and U+FFFF) are left out: with them no other
// reader would accept the file at all. A carriage return is written as a reference, since XML
// readers turn a literal one into a line feed.
class Writer final {
public:
    void appendHeader()
    {
        append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
               "<plist version=\"1.0\">\n");
    }

    // What writeList and writeMap write for an array of dictionaries of strings.
    void writeStringRecords(
        const QStringList& keys, std::size_t count, const PropertyList::StringRecordSource& valueOf)
    {
        if (count == 0) {
            line(0, "<array/>");
            return;
        }
        line(0, "<array>");
        for (std::size_t record = 0; record < count; ++record) {
            if (keys.isEmpty()) {
                line(1, "<dict/>");
                continue;
            }
            line(1, "<dict>");
            for (int key = 0; key < keys.size(); ++key) {
                writeString("key", keys[key], 2);
                writeString("string", valueOf(record, key), 2);
            }
            line(1, "</dict>");
        }
        line(0, "</array>");
    }

    bool write(const QVariant& value, int indent)
    {
        switch (value.metaType().id()) {
        case QMetaType::QVariantMap:
            return writeMap(stored<QVariantMap>(value), indent);
        case QMetaType::QVariantHash:
            return writeHash(stored<QVariantHash>(value), indent);
        case QMetaType::QVariantList:
            return writeList(stored<QVariantList>(value), indent);
        case QMetaType::QStringList:
            return writeStringList(stored<QStringList>(value), indent);
        case QMetaType::QString:
            writeString("string", stored<QString>(value), indent);
            return true;
        case QMetaType::Bool:
            line(indent, value.toBool() ? "<true/>" : "<false/>");
            return true;
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Char:
        case QMetaType::SChar:
            writeScalar("integer", QByteArray::number(value.toLongLong()), indent);
            return true;
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UChar:
            writeScalar("integer", QByteArray::number(value.toULongLong()), indent);
            return true;
        case QMetaType::Float:
            writeScalar("real", realText(value.toFloat()), indent);
            return true;
        case QMetaType::Double:
            writeScalar("real", realText(value.toDouble()), indent);
            return true;
        case QMetaType::QDateTime:
            return writeDate(value.toDateTime(), indent);
        case QMetaType::QByteArray:
            writeScalar("data", stored<QByteArray>(value).toBase64(), indent);
            return true;
        default:
            return false; // not a property-list type: nothing is written rather than something else
        }
    }

    void append(const char* text, qsizetype n)
    {
        std::memcpy(room(n), text, size_t(n));
        used += n;
    }
    void append(const char* text) { append(text, qsizetype(std::strlen(text))); }

    QByteArray take()
    {
        out.resize(used);
        return std::move(out);
    }

private:
    QByteArray out;
    qsizetype used = 0; // out is grown ahead in large steps; only its first `used` bytes count

    // The value inside a QVariant whose type was checked, without a conversion.
    template <typename T> static const T& stored(const QVariant& value)
    {
        return *static_cast<const T*>(value.constData());
    }

    char* room(qsizetype n)
    {
        if (used + n > out.size())
            out.resize(std::max(2 * out.size(), used + n + 4096));
        return out.data() + used;
    }

    void indentTo(int indent)
    {
        std::memset(room(indent), '\t', size_t(indent));
        used += indent;
    }

    void line(int indent, const char* text)
    {
        indentTo(indent);
        append(text);
        append("\n", 1);
    }

    void openTag(const char* tag)
    {
        append("<", 1);
        append(tag);
        append(">", 1);
    }

    void closeTag(const char* tag)
    {
        append("</", 2);
        append(tag);
        append(">\n", 2);
    }

    void writeScalar(const char* tag, const QByteArray& text, int indent)
    {
        indentTo(indent);
        openTag(tag);
        append(text.constData(), text.size());
        closeTag(tag);
    }

    void writeString(const char* tag, const QString& string, int indent)
    {
        indentTo(indent);
        openTag(tag);
        appendEscaped(string);
        closeTag(tag);
    }

    template <typename T> static QByteArray realText(T value)
    {
        if (std::isnan(value))
            return QByteArrayLiteral("nan");
        if (std::isinf(value))
            return value < 0 ? QByteArrayLiteral("-inf") : QByteArrayLiteral("inf");
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        return QByteArray(buffer, result.ptr - buffer);
    }

    bool writeDate(const QDateTime& date, int indent)
    {
        if (!date.isValid())
            return false;
        writeScalar(
            "date", date.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'")).toLatin1(), indent);
        return true;
    }

    bool writeMap(const QVariantMap& map, int indent)
    {
        if (map.isEmpty()) {
            line(indent, "<dict/>");
            return true;
        }
        line(indent, "<dict>");
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            writeString("key", it.key(), indent + 1);
            if (!write(it.value(), indent + 1))
                return false;
        }
        line(indent, "</dict>");
        return true;
    }

    bool writeHash(const QVariantHash& hash, int indent)
    {
        QVariantMap sorted; // the same key order as a map, so that equal values write equal files
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            sorted.insert(it.key(), it.value());
        return writeMap(sorted, indent);
    }

    bool writeList(const QVariantList& list, int indent)
    {
        if (list.isEmpty()) {
            line(indent, "<array/>");
            return true;
        }
        line(indent, "<array>");
        for (const QVariant& element : list) {
            if (!write(element, indent + 1))
                return false;
        }
        line(indent, "</array>");
        return true;
    }

    bool writeStringList(const QStringList& list, int indent)
    {
        if (list.isEmpty()) {
            line(indent, "<array/>");
            return true;
        }
        line(indent, "<array>");
        for (const QString& element : list)
            writeString("string", element, indent + 1);
        line(indent, "</array>");
        return true;
    }

    // Encodes straight into the output: this runs for every name and path of the index.
    void appendEscaped(const QString& string)
    {
        const char16_t* s = reinterpret_cast<const char16_t*>(string.constData());
        const qsizetype n = string.size();
        char* const begin = room(5 * n); // "&amp;" is the longest form of one UTF-16 unit
        char* o = begin;
        qsizetype i = 0;
#ifdef __SSE2__
        // Eight plain ASCII units at a time: printable, and none of & < >.
        const __m128i space = _mm_set1_epi16(0x1F), top = _mm_set1_epi16(0x80);
        const __m128i amp = _mm_set1_epi16('&'), lt = _mm_set1_epi16('<'), gt = _mm_set1_epi16('>');
        for (; i + 8 <= n; i += 8, o += 8) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const __m128i printable
                = _mm_and_si128(_mm_cmpgt_epi16(units, space), _mm_cmpgt_epi16(top, units));
            const __m128i markup = _mm_or_si128(_mm_cmpeq_epi16(units, amp),
                _mm_or_si128(_mm_cmpeq_epi16(units, lt), _mm_cmpeq_epi16(units, gt)));
            if (_mm_movemask_epi8(_mm_andnot_si128(markup, printable)) != 0xFFFF)
                break;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(units, units));
        }
#endif
        for (; i < n; ++i) {
            char32_t c = s[i];
            if (c < 0x80 && c >= 0x20 && c != '&' && c != '<' && c != '>') {
                *o++ = char(c);
                continue;
            }
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
                c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
            o = appendSpecial(o, c);
        }
        used += o - begin;
    }

    static char* appendSpecial(char* o, char32_t c)
    {
        auto put = [&o](const char* text) {
            const size_t n = std::strlen(text);
            std::memcpy(o, text, n);
            o += n;
        };
        if (c == '&')
            put("&amp;");
        else if (c == '<')
            put("&lt;");
        else if (c == '>')
            put("&gt;");
        else if (c == '\r')
            put("&#13;");
        else if (isXmlCharacter(c))
            o = encodeUtf8(o, c);
        return o;
    }
};

// Makes the rename that QSaveFile did durable: the folder's entry is on disk once this returns.
void syncFolder(const QString& filePath)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

QVariant PropertyList::fromData(const QByteArray& data)
{
    Parser parser(data.constData(), data.constData() + data.size());
    return parser.parseDocument().value_or(QVariant());
}

QVariant PropertyList::readFile(const QString& path)
{
    const FileBytes bytes(path);
    if (!bytes.isOpen())
        return {};
    Parser parser(bytes.begin(), bytes.end());
    return parser.parseDocument().value_or(QVariant());
}

std::optional<QVariantList> PropertyList::readArrayFile(const QString& path)
{
    const QVariant root = readFile(path);
    if (root.metaType().id() != QMetaType::QVariantList)
        return std::nullopt;
    return root.toList();
}

std::optional<QVariantMap> PropertyList::readDictionaryFile(const QString& path)
{
    const QVariant root = readFile(path);
    if (root.metaType().id() != QMetaType::QVariantMap)
        return std::nullopt;
    return root.toMap();
}

bool PropertyList::readStringRecords(
    const QString& path, const QStringList& keys, const StringRecordVisitor& visit)
{
    const FileBytes bytes(path);
    if (!bytes.isOpen())
        return false;
    Parser parser(bytes.begin(), bytes.end());
    return parser.streamRecords(keys, visit);
}

namespace {

// The whole data to a temporary file in the same folder, flushed to disk, renamed into place and
// the folder synced; a failure leaves the old file as it was.
bool writeDataAtomically(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    syncFolder(path);
    return true;
}

} // namespace

QByteArray PropertyList::toData(const QVariant& value)
{
    Writer writer;
    writer.appendHeader();
    if (!writer.write(value, 0))
        return {};
    writer.append("</plist>\n");
    return writer.take();
}

QByteArray PropertyList::stringRecordsToData(
    const QStringList& keys, std::size_t count, const StringRecordSource& valueOf)
{
    Writer writer;
    writer.appendHeader();
    writer.writeStringRecords(keys, count, valueOf);
    writer.append("</plist>\n");
    return writer.take();
}

bool PropertyList::writeStringRecords(
    const QString& path, const QStringList& keys, std::size_t count, const StringRecordSource& valueOf)
{
    return writeDataAtomically(path, stringRecordsToData(keys, count, valueOf));
}

bool PropertyList::writeFile(const QString& path, const QVariant& value)
{
    const QByteArray data = toData(value);
    if (data.isEmpty())
        return false;
    return writeDataAtomically(path, data);
}

} // namespace quorvel
