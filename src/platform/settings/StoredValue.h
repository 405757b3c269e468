#pragma once
// How a value read from a property-list file (the settings, the indexing lists, the launch
// history) is taken as a flag or a number, one rule for all of them, as the platform's typed
// getters take it: a string "YES" or "true" (any case, white space around) is true and 1; any
// other string gives the number it starts with ("42 apples" -> 42, "Yellow" -> 0, so false); a
// real read as an integer truncates toward zero; anything else is 0 / false.

#include <QVariant>

namespace quorvel {

class StoredValue final {
public:
    // Whether the value is a number (integer or real) as stored; flags and strings are not.
    static bool isNumber(const QVariant& value);

    static bool toBool(const QVariant& value);
    static qint64 toInteger(const QVariant& value);
    static double toDouble(const QVariant& value);
};

} // namespace quorvel
