#pragma once
// The four matching modes over the upper-cased names of a table: which items match a prepared
// term, in table order. Literal tests compare the names' Wtf8 bytes (UTF-16 units for a term
// with a lone surrogate); an empty term is a prefix of nothing and occurs nowhere. Contains and
// word mode search the table's one buffer of names in a single pass instead of name by name.
//
// Each mode also answers for a part of the table only (the matches of an earlier term that the
// new one narrows), testing just those items, into a buffer whose memory is kept between uses.

#include "search/LaunchItemTable.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace quorvel {

class NameFilter final {
public:
    using Matches = std::vector<std::uint32_t>;

    // Names that begin with the term.
    static Matches prefixMatches(const LaunchItemTable& table, QStringView term);
    // Names in which the term occurs.
    static Matches containsMatches(const LaunchItemTable& table, QStringView term);
    // Names that begin with the term or contain wordTerm (a space and the term).
    static Matches wordMatches(const LaunchItemTable& table, QStringView term, QStringView wordTerm);
    // Names the wildcard pattern matches as a whole (through WildCardMatcher's expressions).
    static Matches wildcardMatches(const LaunchItemTable& table, const QString& pattern);

    // The same four tests, for the items of `within` (ascending) or, when it is nullptr, for the
    // whole table; the matches replace the contents of `out`.
    static void prefixMatches(
        const LaunchItemTable& table, QStringView term, const Matches* within, Matches& out);
    static void containsMatches(
        const LaunchItemTable& table, QStringView term, const Matches* within, Matches& out);
    static void wordMatches(const LaunchItemTable& table, QStringView term, QStringView wordTerm,
        const Matches* within, Matches& out);
    static void wildcardMatches(
        const LaunchItemTable& table, const QString& pattern, const Matches* within, Matches& out);
};

} // namespace quorvel
