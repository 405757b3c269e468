#pragma once
// Short strings that repeat (dictionary keys, type codes) share one QString instead of
// allocating a new one each time: an index of 100,000 dictionaries holds the same three keys and
// four type codes throughout. A direct-mapped table that keeps the most recent string per slot.
// Internal to the property-list reader; one per document read.

#include <QString>

namespace quorvel {

class ShortStringCache final {
public:
    static constexpr qsizetype longest = 16;

    // The decoded UTF-8 bytes; longer strings are decoded anew each time.
    QString string(const char* data, qsizetype size);

private:
    static constexpr quint32 slotCount = 64;
    struct Slot {
        qsizetype size = -1;
        char bytes[longest];
        QString string;
    };
    Slot slots[slotCount];
};

} // namespace quorvel
