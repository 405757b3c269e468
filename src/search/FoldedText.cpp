#include "search/FoldedText.h"

#include <algorithm>

namespace quorvel {

namespace {

// Whether every UTF-16 unit of text lies below the first combining mark, U+0300.
bool isSurelyComposed(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar unit) { return unit.unicode() < 0x300; });
}

} // namespace

QString FoldedText::of(const QString& text)
{
    if (isSurelyComposed(text))
        return text.toUpper();
    // Upper-casing can itself leave a character decomposed where a composed form exists
    // (a few letters upper-case to a letter and a mark), so normalize after it too.
    return text.normalized(QString::NormalizationForm_C).toUpper().normalized(QString::NormalizationForm_C);
}

} // namespace quorvel
