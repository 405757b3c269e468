#include "index/ExclusionList.h"

#include "search/WildCardMatcher.h"

#include <algorithm>

namespace quorvel {

ExclusionList::ExclusionList(
    QString listFileName, QString defaultsResourceName, QString failureDescription, const char* sourceFile)
    : IndexingList(std::move(listFileName))
    , defaultsResourceName(std::move(defaultsResourceName))
    , failureDescription(std::move(failureDescription))
    , sourceFile(sourceFile)
{
}

void ExclusionList::load()
{
    loadFromFileOrDefaults(defaultsResourceName, failureDescription, sourceFile);
}

bool ExclusionList::exclude(const QString& path) const
{
    // The matching runs without holding the lock, so an editor never waits for the matcher.
    const std::shared_ptr<const Prepared> current = preparedPatterns();
    if (current->expressions.empty())
        return false;
    // Asked for every item of a scan: the patterns were compiled once, and the path is converted
    // only for a pattern that needs the engine, at most once.
    std::optional<QByteArray> utf8;
    for (std::size_t i = 0; i < current->expressions.size(); ++i) {
        const std::shared_ptr<const re2::RE2>& expression = current->expressions[i];
        if (!expression)
            continue;
        const std::optional<FixedText>& fixed = current->fixedTexts[i];
        if (fixed && !(fixed->afterAnyRun && path.contains(QLatin1Char('\n')))) {
            if (fixedTextMatches(*fixed, path))
                return true;
            continue;
        }
        if (!utf8)
            utf8 = path.toUtf8();
        if (WildCardMatcher::expressionMatches(*expression, *utf8))
            return true;
    }
    return false;
}

// The expression's text between "^" and "$", read as the engine reads it: a plain character,
// or a backslash before punctuation (which stands for that character). Anything else makes it
// an expression the engine must evaluate. The engine's "." stops at a line feed, so a path
// holding one goes to the engine (see exclude).
std::optional<ExclusionList::FixedText> ExclusionList::fixedTextOf(const QString& pattern)
{
    const QString expression = WildCardMatcher::expressionText(pattern);
    const QLatin1String anyRun(".*");
    FixedText fixed;
    qsizetype i = 1; // after "^"
    const qsizetype end = expression.size() - 1; // before "$"
    if (QStringView(expression).mid(i).startsWith(anyRun)) {
        fixed.afterAnyRun = true;
        i += anyRun.size();
    }
    for (; i < end; ++i) {
        const QChar c = expression.at(i);
        if (c == QLatin1Char('\\')) {
            if (i + 1 >= end || expression.at(i + 1).unicode() >= 0x80
                || expression.at(i + 1).isLetterOrNumber())
                return std::nullopt;
            fixed.text.append(expression.at(++i));
            continue;
        }
        if (QStringView(u"^$|(){}[]+*?.").contains(c))
            return std::nullopt;
        fixed.text.append(c);
    }
    return fixed;
}

bool ExclusionList::fixedTextMatches(const FixedText& fixed, const QString& path)
{
    return fixed.afterAnyRun ? path.endsWith(fixed.text) : path == fixed.text;
}

// Asked for every item of a scan, so the entries are read again only after they changed. The
// prepared copy shares the live array's data; every change made to the live array (through
// contents() or any operation) detaches it or replaces it, so the two then differ in identity.
std::shared_ptr<const ExclusionList::Prepared> ExclusionList::preparedPatterns() const
{
    const std::lock_guard<std::mutex> guard(lock());
    const QVariantList& live = entries();
    if (prepared && prepared->source.constData() == live.constData()
        && prepared->source.size() == live.size())
        return prepared;
    auto fresh = std::make_shared<Prepared>();
    fresh->source = live;
    for (const QVariant& entry : live) {
        const QVariantMap map = entryMap(entry);
        const QVariant expression = map.value(QStringLiteral("expression"));
        if (!boolValue(map.value(QStringLiteral("enabled"))) || expression.typeId() != QMetaType::QString)
            continue;
        // A copy of its own: the matching thread never shares string data with the editors.
        const QString pattern = expression.toString();
        fresh->patterns.append(QString(pattern.constData(), pattern.size()));
        fresh->expressions.push_back(WildCardMatcher::expressionForPattern(fresh->patterns.last()));
        fresh->fixedTexts.push_back(fixedTextOf(fresh->patterns.last()));
    }
    prepared = fresh;
    return prepared;
}

} // namespace quorvel
