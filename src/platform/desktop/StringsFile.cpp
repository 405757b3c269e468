#include "platform/desktop/StringsFile.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/files/RegularFile.h"
#include "platform/plist/PropertyList.h"

#include <QStringDecoder>

namespace quorvel {

namespace {

QString decodeStringsFile(const QByteArray& bytes)
{
    if (bytes.startsWith("\xff\xfe"))
        return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    if (bytes.startsWith("\xfe\xff"))
        return QStringDecoder(QStringDecoder::Utf16BE)(bytes.mid(2));
    if (bytes.startsWith("\xef\xbb\xbf"))
        return QString::fromUtf8(bytes.mid(3));
    return QString::fromUtf8(bytes);
}

bool isUnquotedChar(QChar c)
{
    return c.isLetterOrNumber() || QStringLiteral("_$+/:.-").contains(c);
}

} // namespace

QVariantMap StringsFile::read(const QString& path)
{
    const std::optional<QByteArray> bytes = RegularFile::readAll(path);
    if (!bytes)
        return {};
    const QString text = decodeStringsFile(*bytes);
    // Some tools compile strings files into XML property lists.
    if (text.trimmed().startsWith(QLatin1Char('<'))) {
        const QVariant root = PropertyList::fromData(text.toUtf8());
        return root.toMap();
    }
    std::optional<QVariantMap> parsed = parse(text);
    if (!parsed) {
        Log::line(platformLog(), QStringLiteral("Malformed strings file ignored: %1").arg(path));
        return {};
    }
    return *parsed;
}

std::optional<QVariantMap> StringsFile::parse(const QString& text)
{
    return StringsFile(text).entries();
}

StringsFile::StringsFile(const QString& text)
    : text(text)
{
}

std::optional<QVariantMap> StringsFile::entries()
{
    QVariantMap result;
    while (true) {
        if (!skipSpaceAndComments())
            return std::nullopt;
        if (atEnd())
            return result;
        if (!readEntry(result))
            return std::nullopt;
    }
}

bool StringsFile::readEntry(QVariantMap& entries)
{
    std::optional<QString> key = readString();
    if (!key || !skipSpaceAndComments())
        return false;
    QString value = *key; // `"key";` alone maps the key to itself
    if (peek() == QLatin1Char('=')) {
        ++position;
        if (!skipSpaceAndComments())
            return false;
        std::optional<QString> parsed = readString();
        if (!parsed || !skipSpaceAndComments())
            return false;
        value = *parsed;
    }
    if (peek() != QLatin1Char(';'))
        return false;
    ++position;
    entries.insert(*key, value);
    return true;
}

// False for a comment that never ends.
bool StringsFile::skipSpaceAndComments()
{
    while (!atEnd()) {
        const QChar c = peek();
        if (c.isSpace()) {
            ++position;
        } else if (text.mid(position, 2) == QLatin1String("//")) {
            const qsizetype end = text.indexOf(QLatin1Char('\n'), position);
            position = end < 0 ? text.size() : end + 1;
        } else if (text.mid(position, 2) == QLatin1String("/*")) {
            const qsizetype end = text.indexOf(QLatin1String("*/"), position + 2);
            if (end < 0)
                return false;
            position = end + 2;
        } else {
            return true;
        }
    }
    return true;
}

std::optional<QString> StringsFile::readString()
{
    if (peek() == QLatin1Char('"'))
        return readQuoted();
    const qsizetype start = position;
    while (!atEnd() && isUnquotedChar(peek()))
        ++position;
    if (position == start)
        return std::nullopt;
    return text.mid(start, position - start);
}

std::optional<QString> StringsFile::readQuoted()
{
    ++position; // opening quote
    QString result;
    while (!atEnd()) {
        const QChar c = text.at(position++);
        if (c == QLatin1Char('"'))
            return result;
        if (c != QLatin1Char('\\')) {
            result.append(c);
            continue;
        }
        if (atEnd())
            return std::nullopt;
        if (!appendEscape(result))
            return std::nullopt;
    }
    return std::nullopt; // no closing quote
}

bool StringsFile::appendEscape(QString& result)
{
    const QChar c = text.at(position++);
    switch (c.unicode()) {
    case 'n':
        result.append(QLatin1Char('\n'));
        return true;
    case 't':
        result.append(QLatin1Char('\t'));
        return true;
    case 'r':
        result.append(QLatin1Char('\r'));
        return true;
    case 'a':
        result.append(QChar(0x07));
        return true;
    case 'b':
        result.append(QChar(0x08));
        return true;
    case 'f':
        result.append(QChar(0x0c));
        return true;
    case 'v':
        result.append(QChar(0x0b));
        return true;
    case 'U':
    case 'u':
        return appendHex(result);
    default:
        break;
    }
    if (c >= QLatin1Char('0') && c <= QLatin1Char('7'))
        return appendOctal(result, c);
    result.append(c); // \" \\ \' and any other character stand for themselves
    return true;
}

// Up to three octal digits, the first one already read.
bool StringsFile::appendOctal(QString& result, QChar first)
{
    int value = first.unicode() - '0';
    for (int i = 0; i < 2 && !atEnd() && peek() >= QLatin1Char('0') && peek() <= QLatin1Char('7'); ++i)
        value = value * 8 + (text.at(position++).unicode() - '0');
    result.append(QChar(value));
    return true;
}

bool StringsFile::appendHex(QString& result)
{
    int value = 0;
    int digits = 0;
    for (; digits < 4 && !atEnd(); ++digits) {
        const int digit = QStringLiteral("0123456789abcdef").indexOf(peek().toLower());
        if (digit < 0)
            break;
        value = value * 16 + digit;
        ++position;
    }
    if (digits == 0)
        return false;
    result.append(QChar(value));
    return true;
}

} // namespace quorvel
