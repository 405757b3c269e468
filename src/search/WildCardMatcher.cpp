#include "search/WildCardMatcher.h"

#include <re2/re2.h>

namespace quorvel {

WildCardMatcher& WildCardMatcher::instance()
{
    // Function-local statics are initialised once, even with two threads racing here.
    static WildCardMatcher shared;
    return shared;
}

bool WildCardMatcher::stringMatches(const QString& string, const QString& pattern)
{
    const std::shared_ptr<const re2::RE2> expression = expressionForPattern(pattern);
    return expression && expressionMatches(*expression, string.toUtf8());
}

std::shared_ptr<const re2::RE2> WildCardMatcher::expressionForPattern(const QString& pattern)
{
    return instance().lookUpOrCompile(pattern);
}

QString WildCardMatcher::expressionText(const QString& pattern)
{
    // The order matters: the "." that "?" and "*" produce must not be escaped, and the escaped
    // "\." must not become a wildcard.
    QString expression = QStringLiteral("^") + pattern;
    expression.replace(QStringLiteral("["), QStringLiteral("\\["));
    expression.replace(QStringLiteral("]"), QStringLiteral("\\]"));
    expression.replace(QStringLiteral("."), QStringLiteral("\\."));
    expression.replace(QStringLiteral("?"), QStringLiteral("."));
    expression.replace(QStringLiteral("*"), QStringLiteral(".*"));
    expression += QStringLiteral("$");
    return expression;
}

bool WildCardMatcher::patternCompiles(const QString& pattern)
{
    const QByteArray text = expressionText(pattern).toUtf8();
    re2::RE2::Options options;
    options.set_log_errors(false);
    const re2::RE2 expression(
        re2::StringPiece(text.constData(), static_cast<std::size_t>(text.size())), options);
    return expression.ok();
}

bool WildCardMatcher::expressionMatches(const re2::RE2& expression, const QByteArray& utf8)
{
    return re2::RE2::PartialMatch(
        re2::StringPiece(utf8.constData(), static_cast<std::size_t>(utf8.size())), expression);
}

std::size_t WildCardMatcher::cachedPatternCount()
{
    WildCardMatcher& shared = instance();
    const std::lock_guard<std::mutex> guard(shared.lock);
    return shared.dic.size();
}

std::shared_ptr<const re2::RE2> WildCardMatcher::lookUpOrCompile(const QString& pattern)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (const auto found = dic.find(pattern); found != dic.end())
        return found->second;

    const QByteArray text = expressionText(pattern).toUtf8();
    re2::RE2::Options options;
    options.set_log_errors(false); // a typed pattern that does not compile is no fault to report
    auto expression = std::make_shared<const re2::RE2>(
        re2::StringPiece(text.constData(), static_cast<std::size_t>(text.size())), options);
    if (!expression->ok())
        return nullptr; // not stored: compiled again on its next use

    dic.emplace(pattern, expression);
    if (dic.size() > cacheLimit)
        dic.clear();
    return expression;
}

} // namespace quorvel
