#include "search/GlobPattern.h"

#include "search/Wtf8.h"

#include <algorithm>

namespace quorvel {

namespace {

bool isOperatorOfExpression(char16_t c)
{
    switch (c) {
    case u'\\':
    case u'+':
    case u'(':
    case u')':
    case u'|':
    case u'{':
    case u'}':
    case u'^':
    case u'$':
        return true;
    default:
        return false;
    }
}

// Bytes of the character that starts at i: the name holds whole sequences, but a cut one ends
// with the name.
qsizetype sequenceLength(QByteArrayView name, qsizetype i)
{
    return std::min<qsizetype>(Wtf8::sequenceLength(static_cast<unsigned char>(name[i])), name.size() - i);
}

} // namespace

GlobPattern::GlobPattern(const QString& pattern)
    : pattern(pattern)
{
    direct = !Wtf8::hasLoneSurrogate(pattern) && std::none_of(pattern.begin(), pattern.end(), [](QChar c) {
        return isOperatorOfExpression(c.unicode());
    });
    while (headLength < pattern.size() && pattern[headLength] != u'*' && pattern[headLength] != u'?')
        ++headLength;
    if (direct)
        bytes = Wtf8::of(pattern);
}

bool GlobPattern::matches(QByteArrayView name) const
{
    // Greedy matching that falls back to the last star only: a later star can absorb whatever
    // an earlier one would, so earlier stars never need to be revisited.
    const QByteArrayView p(bytes);
    qsizetype pi = 0, ni = 0;
    qsizetype starP = -1, starN = 0;
    while (ni < name.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starN = ni;
        } else if (pi < p.size() && p[pi] == '?') {
            ++pi;
            ni += sequenceLength(name, ni);
        } else if (pi < p.size() && p[pi] == name[ni]) {
            ++pi;
            ++ni;
        } else if (starP >= 0) {
            starN += sequenceLength(name, starN);
            ni = starN;
            pi = starP + 1;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

} // namespace quorvel
