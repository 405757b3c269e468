#pragma once
// The tree reader: a recursive descent over the scanner's tokens that builds the QVariant of
// the whole document. Any fault makes it fail as a whole: the caller then answers no value,
// never a part of one. Internal to the property-list reader.

#include "platform/plist/PropertyListScanner.h"
#include "platform/plist/ShortStringCache.h"

#include <QVariant>
#include <optional>

namespace quorvel {

class PropertyListParser final {
public:
    explicit PropertyListParser(PropertyListScanner& scanner);

    // The root value of a whole document.
    std::optional<QVariant> parseDocument();
    // The value of the element whose tag was just read, through its end tag.
    bool parseElement(const Tag& tag, QVariant& out);

private:
    PropertyListScanner& scanner;
    ShortStringCache shortStrings;

    bool parseArray(const Tag& tag, QVariant& out);
    bool parseDictionary(const Tag& tag, QVariant& out);
};

} // namespace quorvel
