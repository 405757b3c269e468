#pragma once
// Whole-string wildcard matching: "*" any run of characters, "?" exactly one character,
// case-sensitive. Patterns are translated into regular expressions, evaluated by a linear-time
// engine (a typed pattern can never hang the panel), and the last ten compiled patterns are
// cached. Shared by the main thread (wildcard search) and the scanning thread (exclusions).

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

    // The number of compiled patterns held now; for tests of the cache policy.
    static std::size_t cachedPatternCount();

private:
    static WildCardMatcher& instance();
    WildCardMatcher();
    bool matches(const QString& string, const QString& pattern);

    std::mutex lock; // over look-up, compilation and storing
    std::unordered_map<QString, std::unique_ptr<re2::RE2>> dic;
};

} // namespace quorvel
