#pragma once
// A wildcard pattern matched directly, without a regular expression, for the patterns whose
// expression is nothing but literals, "." and ".*": then "?" is one character (a code point)
// other than a line feed, "*" any run of such characters, and the answers are those of the
// expression. Patterns with characters that are operators of the expression (a backslash,
// "+", "(", ")", "|", "{", "}", "^", "$") or with a lone surrogate are not direct.
// Linear in the name for each star-free stretch; a few passes at worst, never exponential.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace quorvel {

class GlobPattern final {
public:
    explicit GlobPattern(const QString& pattern);

    bool isDirect() const { return direct; }
    // The literal characters before the first wildcard: every match begins with them.
    QStringView literalHead() const { return QStringView(pattern).first(headLength); }
    // Whether a name without line feeds, in Wtf8 bytes, matches; only for direct patterns.
    bool matches(QByteArrayView name) const;

private:
    QString pattern;
    QByteArray bytes; // the pattern in UTF-8
    qsizetype headLength = 0;
    bool direct = false;
};

} // namespace quorvel
