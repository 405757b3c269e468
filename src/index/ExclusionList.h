#pragma once
// Wildcard patterns matched against full paths: the shared body of the folder and the file
// exclusion lists. Entries: "enabled" and "expression"; further keys are kept.
// exclude() runs on the scanning thread over the live entries: it reads them under lock().

#include "index/IndexingList.h"

#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace re2 {
class RE2;
}

namespace quorvel {

class ExclusionList : public IndexingList {
public:
    void load();
    // Whether the first enabled entry whose pattern matches the whole path exists. An entry
    // without a string "expression" matches nothing.
    bool exclude(const QString& path) const;

protected:
    ExclusionList(QString listFileName, QString defaultsResourceName, QString failureDescription,
        const char* sourceFile);

private:
    // A pattern whose expression asks for fixed text only, after any run of characters or as
    // the whole path (most exclusion patterns): matched by comparing text, without the engine.
    struct FixedText {
        QString text;
        bool afterAnyRun = false; // the expression is ^.*text$, else ^text$
    };
    // The enabled patterns, prepared from the entries as they stood.
    struct Prepared {
        QVariantList source; // shares the entries' data: any edit detaches the live array from it
        QStringList patterns;
        // The patterns compiled once by the shared matcher; nothing for one that does not compile.
        std::vector<std::shared_ptr<const re2::RE2>> expressions;
        std::vector<std::optional<FixedText>> fixedTexts; // one per expression
    };
    static std::optional<FixedText> fixedTextOf(const QString& pattern);
    static bool fixedTextMatches(const FixedText& fixed, const QString& path);
    std::shared_ptr<const Prepared> preparedPatterns() const;

    mutable std::shared_ptr<const Prepared> prepared; // guarded by lock()
    const QString defaultsResourceName;
    const QString failureDescription;
    const char* const sourceFile;
};

} // namespace quorvel
