#include "platform/plist/PropertyListParser.h"

#include "platform/plist/PropertyListScalars.h"

namespace quorvel {

PropertyListParser::PropertyListParser(PropertyListScanner& scanner)
    : scanner(scanner)
{
}

std::optional<QVariant> PropertyListParser::parseDocument()
{
    Tag tag;
    QVariant root;
    if (!scanner.openPlist() || !scanner.readValueTag(tag) || !parseElement(tag, root)
        || !scanner.closePlist())
        return std::nullopt;
    return root;
}

bool PropertyListParser::parseElement(const Tag& tag, QVariant& out)
{
    if (tag.is("string")) {
        Text text;
        if (!scanner.readText(tag, text))
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
        return scanner.expectEmptyContent(tag);
    }
    std::optional<QVariant> (*parse)(Text) = nullptr;
    if (tag.is("integer"))
        parse = PropertyListScalars::integer;
    else if (tag.is("real"))
        parse = PropertyListScalars::real;
    else if (tag.is("date"))
        parse = PropertyListScalars::date;
    else if (tag.is("data"))
        parse = PropertyListScalars::data;
    else
        return false;
    Text text;
    if (!scanner.readText(tag, text))
        return false;
    std::optional<QVariant> value = parse(text);
    if (!value)
        return false;
    out = std::move(*value);
    return true;
}

bool PropertyListParser::parseArray(const Tag& tag, QVariant& out)
{
    QVariantList list;
    const bool read = scanner.forEachChild(tag, [&](const Tag& child) {
        QVariant value;
        if (!parseElement(child, value))
            return false;
        list.append(std::move(value));
        return true;
    });
    out = std::move(list);
    return read;
}

bool PropertyListParser::parseDictionary(const Tag& tag, QVariant& out)
{
    QVariantMap map;
    const bool read = scanner.forEachChild(tag, [&](const Tag& keyTag) {
        Text keyText;
        Tag valueTag;
        QVariant value;
        if (!scanner.readEntry(keyTag, keyText, valueTag))
            return false;
        QString key = shortStrings.string(keyText.data, keyText.size);
        if (!parseElement(valueTag, value))
            return false;
        // Writers put keys in order, so the end is the right place nearly always (one
        // comparison); a repeated key replaces the earlier value: the last one wins.
        map.insert(map.cend(), std::move(key), std::move(value));
        return true;
    });
    out = std::move(map);
    return read;
}

} // namespace quorvel
