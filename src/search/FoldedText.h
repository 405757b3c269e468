#pragma once
// The one form in which names and typed terms are compared: upper-cased, in Unicode
// normalization form C. The same "é" reaches us as one character (most file systems and
// programs) or as "e" followed by a combining accent (names made on macOS, many zip archives);
// both look alike in the list, so both must match alike. Only the folded copies are affected:
// the index keeps every name as it was found.

#include <QString>

namespace quorvel {

class FoldedText final {
public:
    // text upper-cased in NFC. Text made only of characters below U+0300 is NFC already (no such
    // character has another form or combines with a neighbour), so nearly every name skips
    // the normalization, which is slow compared to the upper-casing.
    static QString of(const QString& text);
};

} // namespace quorvel
