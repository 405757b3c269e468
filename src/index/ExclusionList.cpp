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
    // Asked for every item of a scan: the path is converted once, the patterns were compiled once.
    const QByteArray utf8 = path.toUtf8();
    return std::any_of(
        current->expressions.begin(), current->expressions.end(), [&utf8](const auto& expression) {
            return expression && WildCardMatcher::expressionMatches(*expression, utf8);
        });
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
    }
    prepared = fresh;
    return prepared;
}

} // namespace quorvel
