#include "search/RememberedMatches.h"

namespace quorvel {

RememberedMatches::Search& RememberedMatches::kept()
{
    static Search search;
    return search;
}

std::mutex& RememberedMatches::lock()
{
    static std::mutex mutex;
    return mutex;
}

void RememberedMatches::keep(const std::shared_ptr<const LaunchItemTable>& table, const QString& term,
    int mode, std::vector<std::uint32_t>& matches)
{
    const std::lock_guard<std::mutex> guard(lock());
    Search& search = kept();
    search.table = table;
    search.term = term;
    search.mode = mode;
    search.matches.swap(matches);
}

bool RememberedMatches::take(const std::shared_ptr<const LaunchItemTable>& table, const QString& term,
    int mode, std::vector<std::uint32_t>& matches)
{
    const std::lock_guard<std::mutex> guard(lock());
    Search& search = kept();
    // An expired table locks to null, which no list's table is.
    if (search.mode != mode || search.term != term || search.table.lock() != table)
        return false;
    matches.swap(search.matches);
    search = Search {};
    return true;
}

} // namespace quorvel
