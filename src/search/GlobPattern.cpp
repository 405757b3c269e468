#include "search/GlobPattern.h"

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

bool hasLoneSurrogate(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
            ++i;
        else if (QChar::isSurrogate(c))
            return true;
    }
    return false;
}

// Units of the code point that starts at i.
qsizetype codePointLength(QStringView text, qsizetype i)
{
    return QChar::isHighSurrogate(text[i].unicode()) && i + 1 < text.size()
            && QChar::isLowSurrogate(text[i + 1].unicode())
        ? 2
        : 1;
}

} // namespace

GlobPattern::GlobPattern(const QString& pattern)
    : pattern(pattern)
{
    direct = !hasLoneSurrogate(pattern) && std::none_of(pattern.begin(), pattern.end(), [](QChar c) {
        return isOperatorOfExpression(c.unicode());
    });
    while (headLength < pattern.size() && pattern[headLength] != u'*' && pattern[headLength] != u'?')
        ++headLength;
}

bool GlobPattern::matches(QStringView name) const
{
    // Greedy matching that falls back to the last star only: a later star can absorb whatever
    // an earlier one would, so earlier stars never need to be revisited.
    const QStringView p(pattern);
    qsizetype pi = 0, ni = 0;
    qsizetype starP = -1, starN = 0;
    while (ni < name.size()) {
        if (pi < p.size() && p[pi] == u'*') {
            starP = pi++;
            starN = ni;
        } else if (pi < p.size() && p[pi] == u'?') {
            ++pi;
            ni += codePointLength(name, ni);
        } else if (pi < p.size() && p[pi] == name[ni]) {
            ++pi;
            ++ni;
        } else if (starP >= 0) {
            starN += codePointLength(name, starN);
            ni = starN;
            pi = starP + 1;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*')
        ++pi;
    return pi == p.size();
}

} // namespace quorvel
