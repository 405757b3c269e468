#pragma once
// The values of the property-list elements whose content is one piece of text: integer, real,
// date and data. Each answers std::nullopt when the text is not a value of its kind.
// Internal to the property-list reader.

#include "platform/plist/PropertyListScanner.h"

#include <QVariant>
#include <optional>

namespace quorvel {

class PropertyListScalars final {
public:
    // Decimal or "0x" hexadecimal, signed; qint64, or qulonglong above its range.
    static std::optional<QVariant> integer(Text text);
    // Also "inf", "+infinity", "-inf" and "nan", as other writers put them.
    static std::optional<QVariant> real(Text text);
    // "2026-12-08T01:00:00Z"; the zone letter may be missing, the time is UTC either way.
    static std::optional<QVariant> date(Text text);
    // Base64, white space anywhere.
    static std::optional<QVariant> data(Text text);
};

} // namespace quorvel
