#include "platform/settings/StoredValue.h"

#include <QString>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace quorvel {

namespace {

bool isReal(const QVariant& value)
{
    const int type = value.metaType().id();
    return type == QMetaType::Float || type == QMetaType::Double;
}

// A number or a flag: what the platform keeps in one kind of object.
bool isNumberOrFlag(const QVariant& value)
{
    return value.metaType().id() == QMetaType::Bool || StoredValue::isNumber(value);
}

bool isString(const QVariant& value)
{
    return value.metaType().id() == QMetaType::QString;
}

bool isAffirmative(const QString& text)
{
    const QString trimmed = text.trimmed();
    return trimmed.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0
        || trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

qint64 truncatedToInteger(double value)
{
    if (std::isnan(value))
        return 0;
    // Beyond the range of a 64-bit integer the nearest end answers, not undefined behaviour.
    if (value >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    if (value <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(value); // truncates toward zero
}

// The number a string starts with, after white space: "42 apples" -> 42, "90.7" -> 90.7; 0 when
// it starts with no number ("nan" and "inf" are words here, not numbers).
double leadingNumber(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    if (begin < end && *begin == '+')
        ++begin;
    const char* digits = begin < end && *begin == '-' ? begin + 1 : begin;
    if (digits == end || !(std::isdigit(uchar(*digits)) || *digits == '.'))
        return 0.0;
    double value = 0;
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        return digits != begin ? -HUGE_VAL : HUGE_VAL;
    return result.ec == std::errc() ? value : 0.0;
}

// The integer a string starts with, after white space: "90.7" -> 90, "42 apples" -> 42; the
// nearest end of the range when it has too many digits.
qint64 leadingInteger(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    if (begin < end && *begin == '+')
        ++begin;
    qint64 value = 0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec == std::errc::result_out_of_range)
        return *begin == '-' ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return result.ec == std::errc() ? value : 0;
}

} // namespace

bool StoredValue::isNumber(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

bool StoredValue::toBool(const QVariant& value)
{
    if (isString(value)) {
        const QString text = value.toString();
        return isAffirmative(text) || leadingNumber(text) != 0.0;
    }
    if (isReal(value))
        return value.toDouble() != 0.0;
    return isNumberOrFlag(value) && value.toLongLong() != 0;
}

qint64 StoredValue::toInteger(const QVariant& value)
{
    if (isString(value)) {
        const QString text = value.toString();
        return isAffirmative(text) ? 1 : leadingInteger(text);
    }
    if (isReal(value))
        return truncatedToInteger(value.toDouble());
    const int type = value.metaType().id();
    if (type == QMetaType::ULongLong || type == QMetaType::ULong)
        return qint64(
            std::min<qulonglong>(value.toULongLong(), qulonglong(std::numeric_limits<qint64>::max())));
    if (isNumberOrFlag(value))
        return value.toLongLong();
    return 0;
}

double StoredValue::toDouble(const QVariant& value)
{
    if (isNumberOrFlag(value))
        return value.toDouble();
    if (isString(value)) {
        const QString text = value.toString();
        return isAffirmative(text) ? 1.0 : leadingNumber(text);
    }
    return 0.0;
}

} // namespace quorvel
