#pragma once
// How quorvel-query writes its matches, in ranked order, into one buffer (a million matches must
// not cost a million strings):
//   Lines  name, type and path separated by tabs, one match per line; a tab or line break inside
//          a field becomes a space, so that the line format holds (for people and simple filters)
//   Null   every field as stored, each followed by a NUL byte (nothing replaced; for xargs -0,
//          read -d '' and the like)
//   Json   one JSON object per line: {"name":...,"type":...,"path":...}; control characters,
//          quotes and backslashes escaped, and bytes that are not UTF-8 written as U+FFFD, so every
//          line is valid JSON whatever the index holds

#include <string>

namespace quorvel {

class InteractiveList;

class MatchOutput final {
public:
    enum Format { Lines, Null, Json };

    static std::string of(const InteractiveList& list, Format format);
    // The text as a JSON string literal, quotes included; utf8 may hold any bytes.
    static void appendJsonString(std::string& out, const std::string& utf8);
};

} // namespace quorvel
