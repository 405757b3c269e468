#pragma once
// The tokens of an XML property list held whole in memory: tags, the character data of text
// elements, and the skipping of what carries no value (white space, comments, processing
// instructions, the document type). Not a general XML reader: no entities beyond the five
// predefined ones, attributes passed over. Internal to the property-list reader.
//
// Character data is decoded in place: references, CDATA sections and line ends are replaced by
// their characters in the buffer itself, which never needs more room than their written form.
// So reading a file costs its bytes plus the strings made of them, and no copy in between; the
// buffer must be the scanner's to change.

#include <QtGlobal>

#include <cstddef>

namespace quorvel {

// A view of some bytes of the document (already decoded when it was character data).
struct Text {
    const char* data = nullptr;
    qsizetype size = 0;

    bool equals(const char* other, qsizetype n) const;
    Text trimmed() const;
};

struct Tag {
    enum Kind { Open, Close, Empty };
    Kind kind = Open;
    Text name;

    template <std::size_t N> bool is(const char (&literal)[N]) const { return name.equals(literal, N - 1); }
};

class PropertyListScanner final {
public:
    // Deeper nesting than this is refused: the parser recurses once per level, and no property
    // list written by a person or a program comes anywhere near it.
    static constexpr int maximumDepth = 512;

    PropertyListScanner(char* begin, char* end);

    // Through the root's start tag "<plist ...>", past an optional byte-order mark, declaration
    // and document type.
    bool openPlist();
    // The root's end tag, then nothing but white space, comments and processing instructions.
    bool closePlist();
    // The next element's start tag (or empty-element tag), past what carries no value.
    bool readValueTag(Tag& tag);
    // The decoded character content of the text element just opened, through its end tag. A
    // character XML 1.0 forbids (raw or as a reference) makes it fail: the writer could not
    // write it back, so a key or a name would change on a round trip.
    bool readText(const Tag& open, Text& text);
    // A dictionary's entry: keyTag must be "<key>"; its text, then the value's tag.
    bool readEntry(const Tag& keyTag, Text& key, Tag& valueTag);
    // Only white space, comments and processing instructions up to the element's end tag.
    bool expectEmptyContent(const Tag& open);

    // Calls visit(child) for each child element of container (the tag just read) up to its end
    // tag; visit reads the child whole and answers false at a fault. Answers false at a fault or
    // when the nesting goes deeper than maximumDepth. The one loop over children of arrays and
    // dictionaries, in the tree reader and the streaming reader alike.
    template <typename Visit> bool forEachChild(const Tag& container, Visit&& visit)
    {
        if (container.kind == Tag::Empty)
            return true;
        if (++depth > maximumDepth)
            return false;
        for (;;) {
            if (!skipMisc())
                return false;
            if (atEndTag()) {
                --depth;
                return expectClose(container);
            }
            Tag child;
            if (!readTag(child) || !visit(child))
                return false;
        }
    }

    int nestingDepth() const { return depth; }

private:
    char* p;
    char* const end;
    int depth = 0;

    template <std::size_t N> bool startsWith(const char (&literal)[N]) const;
    template <std::size_t N> bool skipPast(const char (&literal)[N]);
    bool skipMisc();
    bool skipComment();
    bool skipDoctype();
    bool atEndTag() const { return end - p >= 2 && p[0] == '<' && p[1] == '/'; }
    bool readTag(Tag& tag);
    bool finishTag(Tag& tag);
    bool expectClose(const Tag& open);
    bool decodeCharacter(char*& out);
    bool decodeReference(char*& out);
    bool decodeCdata(char*& out);
};

} // namespace quorvel
