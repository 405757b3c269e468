#pragma once
// The matches a list found last, kept when the list goes: the panel makes a fresh list at every
// summons, and the term it filters with first is nearly always the one the last list ended with,
// over the same table. Matching does not depend on the history or the time (ranking does), so
// the next list takes these instead of testing every item again. At most one search is kept; it
// holds its table weakly, so a table that is gone is never matched again by accident.

#include "search/LaunchItemTable.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace quorvel {

class RememberedMatches final {
public:
    // Keeps the matches of term in mode over table, in index order (taking the vector's buffer).
    static void keep(const std::shared_ptr<const LaunchItemTable>& table, const QString& term, int mode,
        std::vector<std::uint32_t>& matches);
    // Puts the kept matches of term in mode over table into matches and forgets them; answers
    // false, leaving matches alone, when what is kept is another search.
    static bool take(const std::shared_ptr<const LaunchItemTable>& table, const QString& term, int mode,
        std::vector<std::uint32_t>& matches);

private:
    struct Search {
        std::weak_ptr<const LaunchItemTable> table;
        QString term;
        int mode = -1;
        std::vector<std::uint32_t> matches;
    };
    static Search& kept();
    static std::mutex& lock();
};

} // namespace quorvel
