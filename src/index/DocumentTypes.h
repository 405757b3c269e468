#pragma once
// The rules that decide which entries the disk scan indexes as documents: by file extension, by
// the file's four-character type and creator codes, or both ("identificationMode" 0 to 3).
// Threads and the lock: see IndexingList. A scan asks shouldIndexDocument of its own instance.

#include "index/IndexingList.h"

#include <optional>
#include <vector>

namespace quorvel {

class DocumentTypes final : public IndexingList {
public:
    // A rule's "identificationMode": how it recognises a document. Other values match nothing.
    enum class IdentificationMode : qint64 {
        byExtension = 0,
        byCodes = 1,
        byCodesAndExtension = 2,
        byCodesOrExtension = 3,
    };

    // Loads the list file, else the "Document Types Defaults.xml" resource; with neither, raises
    // InternalInconsistency.
    DocumentTypes();

    void load();

    // The caller passes a legal index.
    void removeAtIndex(int index);
    QString typeAtIndex(int index) const;
    // The rule becomes one holding only "type" (so it never matches).
    void updateTypeAtIndex(const QString& type, int index);

    bool shouldIndexDocument(const QString& path) const;
    // Reads the rules for matching now: after it, several threads may ask shouldIndexDocument
    // at once as long as nobody edits the list.
    void prepareRules() const { enabledRules(); }
    bool matchFileExtensionWithValues(const QString& path, const QVariantMap& rule) const;
    bool matchMacOS9InfoWithValues(const QString& path, const QVariantMap& rule) const;
    // "'ABCD'" -> "ABCD"; a string of any length other than 6 -> "".
    static QString extractCodeString(const QString& quotedCode);

    int numberOfRowsInTableView() const { return count(); }
    QString tableViewObjectValueForTableColumnRow(int row) const;

private:
    // One enabled rule as the matching reads it; a value of the wrong type counts as missing.
    struct Rule {
        qint64 mode = 0;
        std::optional<QString> upperExtension;
        bool useCreatorCode = false;
        bool useTypeCode = false;
        std::optional<QString> creatorCode;
        std::optional<QString> typeCode;
    };
    class File;

    static Rule ruleFrom(const QVariantMap& entry);
    static bool ruleMatches(const Rule& rule, File& file);
    static bool extensionMatches(const Rule& rule, File& file);
    static bool codesMatch(const Rule& rule, File& file);
    bool isLegalIndex(int index) const;

    // The enabled rules as prepared from the entries. preparedFrom shares the entries' data:
    // every change made to them detaches or replaces the live array, so identity tells.
    const std::vector<Rule>& enabledRules() const;
    mutable QVariantList preparedFrom;
    mutable std::optional<std::vector<Rule>> preparedRules;
    // Where no enabled rule can ask for the codes, a file is a document exactly when its
    // upper-cased extension is one of these (sorted, no duplicates); nullopt otherwise.
    mutable std::optional<std::vector<QString>> extensionsAlone;
    static std::optional<std::vector<QString>> extensionsDecidingAlone(const std::vector<Rule>& rules);
};

QString _documentTypesPath();

} // namespace quorvel
