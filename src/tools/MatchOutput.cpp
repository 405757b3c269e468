#include "MatchOutput.h"

#include "search/InteractiveList.h"

#include <QByteArray>
#include <QStringView>
#include <QUtf8StringView>
#include <cstdint>
#include <cstring>

namespace quorvel {

namespace {

// Appends text in UTF-8 (type codes are nearly all ASCII: those units are copied as they are).
void appendUtf8(std::string& out, QStringView text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i].unicode() < 0x80)
        ++i;
    const std::size_t from = out.size();
    out.resize(from + std::size_t(i));
    for (qsizetype k = 0; k < i; ++k)
        out[from + std::size_t(k)] = static_cast<char>(text[k].unicode());
    if (i < n) {
        const QByteArray rest = text.mid(i).toUtf8();
        out.append(rest.constData(), std::size_t(rest.size()));
    }
}

void appendBytes(std::string& out, QUtf8StringView bytes)
{
    out.append(bytes.data(), std::size_t(bytes.size()));
}

// Whether one of the eight bytes of word is byte (exact: a byte that equals it turns zero, and
// the test finds a zero byte, never one that is not).
bool holdsByte(std::uint64_t word, unsigned char byte)
{
    constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
    const std::uint64_t x = word ^ (ones * byte);
    return ((x - ones) & ~x & highs) != 0;
}

bool holdsSeparator(std::uint64_t word)
{
    return holdsByte(word, '\t') || holdsByte(word, '\n') || holdsByte(word, '\r');
}

// Tabs and line breaks inside a field would break the one-line-per-match format. Fields hardly
// ever hold one, so eight bytes are tested at a time.
void blankSeparators(std::string& out, std::size_t from)
{
    std::size_t i = from;
    for (; i + 8 <= out.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, out.data() + i, sizeof word);
        if (holdsSeparator(word))
            break;
    }
    for (; i < out.size(); ++i)
        if (out[i] == '\t' || out[i] == '\n' || out[i] == '\r')
            out[i] = ' ';
}

// The length of the well-formed UTF-8 sequence at text[i] (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 when the bytes there are not one.
std::size_t utf8SequenceLength(const std::string& text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || i + length > text.size())
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return length;
}

void appendJsonEscape(std::string& out, unsigned char c)
{
    static const char hex[] = "0123456789abcdef";
    switch (c) {
    case '"':
        out += "\\\"";
        return;
    case '\\':
        out += "\\\\";
        return;
    case '\b':
        out += "\\b";
        return;
    case '\f':
        out += "\\f";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    default:
        break;
    }
    out += "\\u00";
    out += hex[c >> 4];
    out += hex[c & 0xF];
}

void appendLine(std::string& out, const LaunchItemTable& items, std::uint32_t item)
{
    std::size_t from = out.size();
    appendBytes(out, items.name(item));
    blankSeparators(out, from);
    out += '\t';
    from = out.size();
    appendUtf8(out, items.type(item));
    blankSeparators(out, from);
    out += '\t';
    from = out.size();
    appendBytes(out, items.path(item));
    blankSeparators(out, from);
    out += '\n';
}

void appendNullSeparated(std::string& out, const LaunchItemTable& items, std::uint32_t item)
{
    appendBytes(out, items.name(item));
    out += '\0';
    appendUtf8(out, items.type(item));
    out += '\0';
    appendBytes(out, items.path(item));
    out += '\0';
}

void appendJsonObject(std::string& out, std::string& field, const LaunchItemTable& items, std::uint32_t item)
{
    field.clear();
    appendBytes(field, items.name(item));
    out += "{\"name\":";
    MatchOutput::appendJsonString(out, field);
    field.clear();
    appendUtf8(field, items.type(item));
    out += ",\"type\":";
    MatchOutput::appendJsonString(out, field);
    field.clear();
    appendBytes(field, items.path(item));
    out += ",\"path\":";
    MatchOutput::appendJsonString(out, field);
    out += "}\n";
}

} // namespace

void MatchOutput::appendJsonString(std::string& out, const std::string& utf8)
{
    out += '"';
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            if (c < 0x20 || c == '"' || c == '\\')
                appendJsonEscape(out, c);
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t length = utf8SequenceLength(utf8, i);
        if (length == 0) {
            out += "\\ufffd"; // one replacement per byte that starts no well-formed sequence
            ++i;
            continue;
        }
        out.append(utf8, i, length);
        i += length;
    }
    out += '"';
}

bool MatchOutput::write(const InteractiveList& list, Format format, const Sink& sink)
{
    // About a quarter of a megabyte at a time: large enough that writing costs few calls, small
    // enough that the buffer stays in memory already touched.
    constexpr std::size_t chunk = 256 * 1024;
    const LaunchItemTable& items = list.items();
    std::string out;
    out.reserve(chunk + 4096);
    std::string field;
    for (std::uint32_t item : list.matchingItemIndices()) {
        if (format == Lines)
            appendLine(out, items, item);
        else if (format == Null)
            appendNullSeparated(out, items, item);
        else
            appendJsonObject(out, field, items, item);
        if (out.size() >= chunk) {
            if (!sink(out))
                return false;
            out.clear();
        }
    }
    return out.empty() || sink(out);
}

} // namespace quorvel
