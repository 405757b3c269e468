#pragma once
// Whole-string wildcard matching: "*" any run of characters, "?" exactly one character,
// case-sensitive. Patterns are translated into regular expressions, evaluated by a linear-time
// engine (a typed pattern can never hang the panel), and the last ten compiled patterns are
// cached. Shared by the main thread (wildcard search) and the scanning thread (exclusions).

#include <QHashFunctions>
#include <QString>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace re2 {
class RE2;
}

namespace quorvel {

class WildCardMatcher final {
public:
    static bool stringMatches(const QString& string, const QString& pattern);

    // The compiled expression of a pattern, through the same cache as stringMatches (a use of
    // the pattern in every respect); nullptr when the pattern does not compile. Lets a caller
    // test one pattern against many strings without a look-up per string. The expression stays
    // valid while the caller holds it, even when the cache is emptied meanwhile.
    static std::shared_ptr<const re2::RE2> expressionForPattern(const QString& pattern);

    // Whether the pattern compiles (a pattern that does not matches nothing). Leaves the cache
    // alone: the preferences window asks this of every pattern it shows.
    static bool patternCompiles(const QString& pattern);

    // The regular expression text a pattern translates into.
    static QString expressionText(const QString& pattern);

    // Whether the string (already UTF-8) matches a compiled expression.
    static bool expressionMatches(const re2::RE2& expression, const QByteArray& utf8);

    // The number of compiled patterns held now; for tests of the cache policy.
    static std::size_t cachedPatternCount();

private:
    static WildCardMatcher& instance();
    WildCardMatcher() = default;
    std::shared_ptr<const re2::RE2> lookUpOrCompile(const QString& pattern);

    // More would cost memory for no gain: a search types one pattern per keystroke and an
    // exclusion list holds a handful. Clearing everything avoids any bookkeeping of age.
    static constexpr std::size_t cacheLimit = 10;

    struct PatternHash {
        std::size_t operator()(const QString& pattern) const noexcept { return qHash(pattern); }
    };

    std::mutex lock; // over look-up, compilation and storing
    std::unordered_map<QString, std::shared_ptr<const re2::RE2>, PatternHash> dic;
};

} // namespace quorvel
