#pragma once
// How quorvel-query writes its matches, in ranked order, a buffer at a time (a million matches
// must not cost a million strings):
//   Lines  name, type and path separated by tabs, one match per line; a tab or line break inside
//          a field becomes a space, so that the line format holds (for people and simple filters)
//   Null   every field as stored, each followed by a NUL byte (nothing replaced; for xargs -0,
//          read -d '' and the like)
//   Json   one JSON object per line: {"name":...,"type":...,"path":...}; control characters,
//          quotes and backslashes escaped, and bytes that are not UTF-8 written as U+FFFD, so every
//          line is valid JSON whatever the index holds

#include <functional>
#include <string>
#include <string_view>

namespace quorvel {

class InteractiveList;

class MatchOutput final {
public:
    enum Format { Lines, Null, Json };

    using Sink = std::function<bool(std::string_view)>;

    // Hands the text of the list's matches to sink a part at a time (a million matches are never
    // held at once); stops, answering false, when sink answers false.
    static bool write(const InteractiveList& list, Format format, const Sink& sink);
    // The text as a JSON string literal, quotes included; utf8 may hold any bytes.
    static void appendJsonString(std::string& out, const std::string& utf8);
};

} // namespace quorvel
