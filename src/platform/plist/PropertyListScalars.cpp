#include "platform/plist/PropertyListScalars.h"

#include <QDateTime>

#include <charconv>
#include <limits>

namespace quorvel {

std::optional<QVariant> PropertyListScalars::integer(Text text)
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

std::optional<QVariant> PropertyListScalars::real(Text text)
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

std::optional<QVariant> PropertyListScalars::date(Text text)
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

std::optional<QVariant> PropertyListScalars::data(Text text)
{
    QByteArray compact;
    compact.reserve(text.size);
    for (qsizetype i = 0; i < text.size; ++i) {
        const char c = text.data[i];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            compact.append(c);
    }
    auto decoded = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return QVariant(*decoded);
}

} // namespace quorvel
