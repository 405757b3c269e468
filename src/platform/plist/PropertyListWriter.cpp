#include "platform/plist/PropertyListWriter.h"

#include "platform/plist/Utf8.h"

#include <QDateTime>

#include <charconv>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quorvel {

namespace {

// The value inside a QVariant whose type was checked, without a conversion.
template <typename T> const T& stored(const QVariant& value)
{
    return *static_cast<const T*>(value.constData());
}

template <typename T> QByteArray realText(T value)
{
    if (std::isnan(value))
        return QByteArrayLiteral("nan");
    if (std::isinf(value))
        return value < 0 ? QByteArrayLiteral("-inf") : QByteArrayLiteral("inf");
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QByteArray(buffer, result.ptr - buffer);
}

} // namespace

void PropertyListWriter::appendHeader()
{
    append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n");
}

void PropertyListWriter::writeStringRecords(
    const QStringList& keys, std::size_t count, const PropertyList::StringRecordSource& valueOf)
{
    if (count == 0) {
        line(0, "<array/>");
        return;
    }
    line(0, "<array>");
    reserveForStringRecords(keys, count, valueOf);
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

// Room for the records as plain ASCII text, and an eighth more: growing a buffer of tens of
// megabytes step by step copies it each time and touches every new page.
void PropertyListWriter::reserveForStringRecords(
    const QStringList& keys, std::size_t count, const PropertyList::StringRecordSource& valueOf)
{
    // "\t<dict>\n", "\t</dict>\n"; per field "\t\t<key></key>\n\t\t<string></string>\n".
    constexpr qsizetype recordLines = 17, fieldLines = 38;
    qsizetype bytes = 0;
    for (std::size_t record = 0; record < count; ++record) {
        bytes += recordLines;
        for (int key = 0; key < keys.size(); ++key)
            bytes += fieldLines + keys[key].size() + valueOf(record, key).size();
    }
    room(bytes + bytes / 8);
}

bool PropertyListWriter::write(const QVariant& value, int indent)
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

void PropertyListWriter::append(const char* text, qsizetype n)
{
    std::memcpy(room(n), text, size_t(n));
    used += n;
}
void PropertyListWriter::append(const char* text)
{
    append(text, qsizetype(std::strlen(text)));
}

QByteArray PropertyListWriter::take()
{
    out.resize(used);
    return std::move(out);
}

char* PropertyListWriter::room(qsizetype n)
{
    if (used + n > out.size())
        out.resize(std::max(2 * out.size(), used + n + 4096));
    return out.data() + used;
}

void PropertyListWriter::indentTo(int indent)
{
    std::memset(room(indent), '\t', size_t(indent));
    used += indent;
}

void PropertyListWriter::line(int indent, const char* text)
{
    indentTo(indent);
    append(text);
    append("\n", 1);
}

void PropertyListWriter::openTag(const char* tag)
{
    append("<", 1);
    append(tag);
    append(">", 1);
}

void PropertyListWriter::closeTag(const char* tag)
{
    append("</", 2);
    append(tag);
    append(">\n", 2);
}

void PropertyListWriter::writeScalar(const char* tag, const QByteArray& text, int indent)
{
    indentTo(indent);
    openTag(tag);
    append(text.constData(), text.size());
    closeTag(tag);
}

void PropertyListWriter::writeString(const char* tag, const QString& string, int indent)
{
    indentTo(indent);
    openTag(tag);
    appendEscaped(string);
    closeTag(tag);
}

bool PropertyListWriter::writeDate(const QDateTime& date, int indent)
{
    if (!date.isValid())
        return false;
    writeScalar("date", date.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'")).toLatin1(), indent);
    return true;
}

template <typename Elements, typename WriteEach>
bool PropertyListWriter::writeContainer(
    const char* tag, const Elements& elements, int indent, WriteEach writeEach)
{
    indentTo(indent);
    if (elements.isEmpty()) {
        append("<", 1);
        append(tag);
        append("/>\n", 3);
        return true;
    }
    openTag(tag);
    append("\n", 1);
    for (auto it = elements.cbegin(); it != elements.cend(); ++it) {
        if (!writeEach(it))
            return false;
    }
    indentTo(indent);
    closeTag(tag);
    return true;
}

bool PropertyListWriter::writeMap(const QVariantMap& map, int indent)
{
    return writeContainer("dict", map, indent, [this, indent](QVariantMap::const_iterator entry) {
        writeString("key", entry.key(), indent + 1);
        return write(entry.value(), indent + 1);
    });
}

bool PropertyListWriter::writeHash(const QVariantHash& hash, int indent)
{
    QVariantMap sorted; // the same key order as a map, so that equal values write equal files
    for (auto it = hash.cbegin(); it != hash.cend(); ++it)
        sorted.insert(it.key(), it.value());
    return writeMap(sorted, indent);
}

bool PropertyListWriter::writeList(const QVariantList& list, int indent)
{
    return writeContainer("array", list, indent,
        [this, indent](QVariantList::const_iterator element) { return write(*element, indent + 1); });
}

bool PropertyListWriter::writeStringList(const QStringList& list, int indent)
{
    return writeContainer("array", list, indent, [this, indent](QStringList::const_iterator element) {
        writeString("string", *element, indent + 1);
        return true;
    });
}

void PropertyListWriter::appendEscaped(const QString& string)
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
        const __m128i printable = _mm_and_si128(_mm_cmpgt_epi16(units, space), _mm_cmpgt_epi16(top, units));
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

char* PropertyListWriter::appendSpecial(char* o, char32_t c)
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
    else if (Utf8::isXmlCharacter(c))
        o = Utf8::encode(o, c);
    return o;
}

} // namespace quorvel
