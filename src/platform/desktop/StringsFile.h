#pragma once
// The old-style strings files of a bundle's localisations (InfoPlist.strings): entries
// `"key" = "value";` (or `"key";`, the key standing for itself), with comments and backslash
// escapes, in UTF-8 or in UTF-16 with a byte-order mark; some tools compile them into XML
// property lists, which read as well.

#include <QString>
#include <QVariantMap>

#include <optional>

namespace quorvel {

class StringsFile final {
public:
    // The file's entries; empty when it is missing or malformed (a malformed one is logged).
    static QVariantMap read(const QString& path);
    // The entries of a strings file's text; nullopt when it is not well formed.
    static std::optional<QVariantMap> parse(const QString& text);

private:
    explicit StringsFile(const QString& text);
    std::optional<QVariantMap> entries();
    bool readEntry(QVariantMap& entries);

    bool atEnd() const { return position >= text.size(); }
    QChar peek() const { return atEnd() ? QChar() : text.at(position); }
    bool skipSpaceAndComments();
    std::optional<QString> readString();
    std::optional<QString> readQuoted();
    bool appendEscape(QString& result);
    bool appendOctal(QString& result, QChar first);
    bool appendHex(QString& result);

    const QString& text;
    qsizetype position = 0;
};

} // namespace quorvel
