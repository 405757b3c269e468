// The four lists that steer a scan: loading, defaults, saving, indexed access and matching.

#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FolderExclusionList.h"
#include "index/SearchLocations.h"
#include "index/TemporaryTree.h"
#include "platform/core/InternalInconsistency.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "search/WildCardMatcher.h"
#include "support/FullDisk.h"
#include "support/LogCapture.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace quorvel;
using quorvel::test::LogCapture;
using quorvel::test::TemporaryTree;
using Mode = quorvel::DocumentTypes::IdentificationMode;

namespace {

class Lists : public testing::Test {
protected:
    void SetUp() override { Bundle::setMainBundlePath(test::builtBundlePath()); }
    void TearDown() override
    {
        Bundle::setMainBundlePath(test::builtBundlePath());
        qunsetenv("XDG_DATA_DIRS");
    }

    static void writeListFile(const QString& path, const QVariant& value)
    {
        ASSERT_TRUE(PropertyList::writeFile(path, value));
    }

    static QVariantMap rule(const QString& extension, Mode mode = Mode::byExtension)
    {
        return { { "enabled", true }, { "identificationMode", int(mode) }, { "fileExtension", extension },
            { "type", extension } };
    }

    // A document types list holding exactly these rules.
    static std::unique_ptr<DocumentTypes> documentTypesWith(const QVariantList& rules)
    {
        writeListFile(_documentTypesPath(), rules);
        return std::make_unique<DocumentTypes>();
    }

    TemporaryTree tree;
};

QVariantMap location(const QString& path, bool subfolders, bool enabled)
{
    return { { "path", path }, { "includeSubFolders", subfolders }, { "enabled", enabled } };
}

} // namespace

TEST_F(Lists, AFreshAccountGetsTheSixDefaultLocationsThenTheDesktopEntryFolders)
{
    qputenv("XDG_DATA_DIRS", "/opt/share:/usr/share/:/usr/share:relative/share");
    const QString home = Folders::homeFolder();
    const SearchLocations locations;
    QVariantList expected = {
        location("/Applications/", true, true),
        location(home + "/Applications/", true, true),
        location(home + "/Documents/", true, true),
        location("/Library/PreferencePanes/", false, true),
        location("/System/Library/PreferencePanes/", false, true),
        location(home + "/Library/PreferencePanes/", false, true),
        location(home + "/.local/share/applications/", true, true),
        location("/opt/share/applications/", true, true),
        location("/usr/share/applications/", true, true),
    };
    EXPECT_EQ(locations.copyOfContents(), expected);

    qunsetenv("XDG_DATA_DIRS"); // the XDG defaults
    qunsetenv("XDG_DATA_HOME");
    const SearchLocations defaults;
    ASSERT_EQ(defaults.count(), 9);
    EXPECT_EQ(defaults.pathAtIndex(6), home + "/.local/share/applications/");
    EXPECT_EQ(defaults.pathAtIndex(7), "/usr/local/share/applications/");
    EXPECT_EQ(defaults.pathAtIndex(8), "/usr/share/applications/");
}

TEST_F(Lists, ASearchLocationsFileReplacesTheDefaultsEvenWhenEmptyButNotWhenUnreadable)
{
    writeListFile(_searchLocationsPath(), QVariantList());
    EXPECT_EQ(SearchLocations().count(), 0);

    QFile garbage(_searchLocationsPath());
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
    garbage.write("<plist><array><dict>");
    garbage.close();
    EXPECT_GE(SearchLocations().count(), 6) << "an unreadable file gives the defaults, as a missing one does";

    QFile::remove(_searchLocationsPath());
    EXPECT_GE(SearchLocations().count(), 6);
}

TEST_F(Lists, AnUnreadableListFileGivesThatListsDefaultsAndIsSetAsideBeforeItIsSaved)
{
    const QByteArray damaged = PropertyList::toData(QVariantList { location("/a/", true, true) }).chopped(10);
    const auto check = [&damaged](auto make, const QString& path) {
        const QVariantList defaults = make()->copyOfContents();
        ASSERT_FALSE(defaults.isEmpty()) << path.toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(damaged);
        file.close();
        const LogCapture log;
        auto list = make();
        EXPECT_EQ(list->copyOfContents(), defaults) << path.toStdString();
        list->save();
        EXPECT_EQ(PropertyList::readArrayFile(path), defaults);
        QFile copy(path + ".unreadable");
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_EQ(copy.readAll(), damaged);
        EXPECT_EQ(log.lines().size(), 1) << "one line, one copy, though read and saved";
    };
    check([] { return std::make_unique<SearchLocations>(); }, _searchLocationsPath());
    check([] { return std::make_unique<DocumentTypes>(); }, _documentTypesPath());
    check([] { return std::make_unique<FolderExclusionList>(); }, _folderExclusionListPath());
    check([] { return std::make_unique<FileExclusionList>(); }, _fileExclusionListPath());
}

TEST_F(Lists, ListsReadFlagsAsTheSettingsDo)
{
    writeListFile(_searchLocationsPath(),
        QVariantList {
            QVariantMap { { "path", "/a/" }, { "enabled", "Yellow" }, { "includeSubFolders", "yes " } },
            QVariantMap { { "path", "/b/" }, { "enabled", "2 apples" }, { "includeSubFolders", "True" } } });
    SearchLocations locations;
    EXPECT_FALSE(locations.enabledAtIndex(0)) << "a word other than yes or true is no";
    EXPECT_TRUE(locations.includeSubFoldersAtIndex(0));
    EXPECT_TRUE(locations.enabledAtIndex(1));
    EXPECT_TRUE(locations.includeSubFoldersAtIndex(1));
}

TEST_F(Lists, SearchLocationAccessorsTreatIllegalIndexesMissingKeysAndWrongTypesAsNo)
{
    writeListFile(_searchLocationsPath(),
        QVariantList { QVariantMap { { "path", "/a/" } },
            QVariantMap { { "path", 42 }, { "enabled", "YES" } },
            QVariantMap { { "enabled", "NO" }, { "includeSubFolders", 1 } }, "not a dictionary" });
    SearchLocations locations;
    LogCapture log;
    EXPECT_EQ(locations.pathAtIndex(0), "/a/");
    EXPECT_FALSE(locations.enabledAtIndex(0));
    EXPECT_FALSE(locations.includeSubFoldersAtIndex(0));
    EXPECT_EQ(locations.pathAtIndex(1), "");
    EXPECT_TRUE(locations.enabledAtIndex(1));
    EXPECT_FALSE(locations.enabledAtIndex(2));
    EXPECT_TRUE(locations.includeSubFoldersAtIndex(2));
    EXPECT_FALSE(locations.enabledAtIndex(3));
    EXPECT_EQ(log.lines().size(), 0);

    EXPECT_EQ(locations.pathAtIndex(4), "");
    EXPECT_FALSE(locations.enabledAtIndex(-1));
    EXPECT_FALSE(locations.includeSubFoldersAtIndex(99));
    locations.updateLocationIncludeSubFoldersAtIndex("/b/", true, 4);
    EXPECT_EQ(log.count("Illegal index in search locations!"), 4);
    EXPECT_EQ(locations.count(), 4);
}

TEST_F(Lists, AnUpdatedLocationIsDisabledAndSavingKeepsUnknownKeysAndOddElements)
{
    SearchLocations locations;
    {
        const std::lock_guard<std::mutex> guard(locations.lock());
        locations.contents() = { location("/x/", true, true), "odd element" };
        QVariantMap extra = location("/y/", false, true);
        extra.insert("tableRowColour", "blue");
        locations.contents().append(extra);
    }
    locations.updateLocationIncludeSubFoldersAtIndex("/z/", true, 0);
    EXPECT_EQ(locations.pathAtIndex(0), "/z/");
    EXPECT_TRUE(locations.includeSubFoldersAtIndex(0));
    EXPECT_FALSE(locations.enabledAtIndex(0));
    EXPECT_EQ(locations.tableViewObjectValueForTableColumnRow(2), "/y/");

    locations.save();
    const SearchLocations reloaded;
    EXPECT_EQ(reloaded.copyOfContents(), locations.copyOfContents());
    EXPECT_EQ(reloaded.copyOfContents().at(2).toMap().value("tableRowColour"), "blue");
}

// The preferences window edits the live lists and saves them; on a full disk the edit stays in
// the list the launcher holds, and the next save with room writes it.
TEST_F(Lists, AnEditSavedWhileTheDiskIsFullIsWrittenByTheNextSave)
{
    const std::vector<std::function<std::unique_ptr<IndexingList>()>> lists = {
        [] { return std::make_unique<SearchLocations>(); },
        [] { return std::make_unique<DocumentTypes>(); },
        [] { return std::make_unique<FolderExclusionList>(); },
        [] { return std::make_unique<FileExclusionList>(); },
    };
    for (const auto& make : lists) {
        const std::unique_ptr<IndexingList> list = make();
        list->save();
        const QVariantList saved = list->copyOfContents();
        const QVariantMap edit { { "enabled", false }, { "expression", "^edited$" }, { "path", "/edited/" } };
        {
            const std::lock_guard<std::mutex> guard(list->lock());
            list->contents().append(edit);
        }
        {
            const test::FullDisk full;
            const LogCapture quiet;
            list->save();
        }
        EXPECT_EQ(make()->copyOfContents(), saved) << list->listFilePath().toStdString();
        list->save();
        EXPECT_EQ(make()->copyOfContents(), saved + QVariantList { edit })
            << list->listFilePath().toStdString();
    }
}

TEST_F(Lists, TheExtensionTestIsCaseInsensitiveAndLooksAtTheLastExtensionOnly)
{
    const auto types = documentTypesWith({ rule("txt"), rule("gz") });
    EXPECT_TRUE(types->shouldIndexDocument("/d/notes.TXT"));
    EXPECT_TRUE(types->shouldIndexDocument("/d/a.Txt"));
    EXPECT_TRUE(types->shouldIndexDocument("/d/archive.tar.gz"));
    EXPECT_FALSE(types->shouldIndexDocument("/d/txt"));
    EXPECT_FALSE(types->shouldIndexDocument("/d.txt/readme"));
    EXPECT_FALSE(types->shouldIndexDocument("/d/notes.txt.bak"));
    EXPECT_FALSE(types->matchFileExtensionWithValues("/d/a.txt", QVariantMap { { "enabled", true } }));

    const auto noExtension = documentTypesWith({ rule("") });
    EXPECT_TRUE(noExtension->shouldIndexDocument("/d/Makefile"));
    EXPECT_FALSE(noExtension->shouldIndexDocument("/d/a.c"));
}

TEST_F(Lists, IdentificationModesCombineTheCodeAndExtensionTests)
{
    const QString coded = tree.file("letter.txt");
    if (!TemporaryTree::setCodes(coded, "TEXT", "ttxt"))
        GTEST_SKIP() << "no user attributes on this file system";
    const QString plainText = tree.file("plain.txt");
    const QString codedOther = tree.file("letter.doc");
    TemporaryTree::setCodes(codedOther, "TEXT", "ttxt");

    auto codeRule = [](Mode mode, bool creator, bool type) {
        QVariantMap r = rule("txt", mode);
        r.insert({ { "useCreatorCode", creator }, { "useTypeCode", type }, { "creatorCode", "ttxt" },
            { "typeCode", "TEXT" } });
        return r;
    };
    auto matches = [&](const QVariantMap& r, const QString& path) {
        return documentTypesWith({ r })->shouldIndexDocument(path);
    };
    EXPECT_TRUE(matches(codeRule(Mode::byCodes, true, true), codedOther));
    EXPECT_FALSE(matches(codeRule(Mode::byCodes, true, true), plainText));
    EXPECT_FALSE(matches(codeRule(Mode::byCodes, false, false), coded));
    QVariantMap wrongCreator = codeRule(Mode::byCodes, true, true);
    wrongCreator["creatorCode"] = "TTXT";
    EXPECT_FALSE(matches(wrongCreator, coded));
    wrongCreator["useCreatorCode"] = false;
    EXPECT_TRUE(matches(wrongCreator, coded));

    EXPECT_TRUE(matches(codeRule(Mode::byCodesAndExtension, true, true), coded));
    EXPECT_FALSE(matches(codeRule(Mode::byCodesAndExtension, true, true), codedOther));
    EXPECT_FALSE(matches(codeRule(Mode::byCodesAndExtension, true, true), plainText));
    EXPECT_TRUE(matches(codeRule(Mode::byCodesOrExtension, true, true), codedOther));
    EXPECT_TRUE(matches(codeRule(Mode::byCodesOrExtension, true, true), plainText));
    EXPECT_FALSE(matches(codeRule(Mode::byCodesOrExtension, false, false), tree.file("x.doc")));
    EXPECT_FALSE(matches(codeRule(Mode(4), true, true), coded)); // values no mode has
    EXPECT_FALSE(matches(codeRule(Mode(-1), true, true), coded));
    QVariantMap noMode = codeRule(Mode::byExtension, true, true);
    noMode.remove("identificationMode");
    EXPECT_TRUE(matches(noMode, plainText));

    // A file without codes has the empty code text; a rule without "typeCode" never matches.
    QVariantMap emptyType = codeRule(Mode::byCodes, false, true);
    emptyType["typeCode"] = "";
    EXPECT_TRUE(matches(emptyType, plainText));
    emptyType.remove("typeCode");
    EXPECT_FALSE(matches(emptyType, plainText));
}

TEST_F(Lists, OnlyEnabledRulesTakePartAndLiveEditsAreSeenAtOnce)
{
    QVariantMap withoutEnabled = rule("md");
    withoutEnabled.remove("enabled");
    const auto types
        = documentTypesWith({ rule("txt"), withoutEnabled, QVariantMap { { "enabled", false } } });
    EXPECT_FALSE(types->shouldIndexDocument("/n.md"));
    EXPECT_TRUE(types->shouldIndexDocument("/n.txt"));

    {
        const std::lock_guard<std::mutex> guard(types->lock());
        QVariantMap edited = types->contents()[0].toMap();
        edited["fileExtension"] = "md";
        types->contents()[0] = edited;
    }
    EXPECT_TRUE(types->shouldIndexDocument("/n.md"));
    EXPECT_FALSE(types->shouldIndexDocument("/n.txt"));

    // A snapshot that nobody edits in place sees its own operations too.
    const auto snapshot = documentTypesWith({ rule("txt"), rule("pdf") });
    EXPECT_TRUE(snapshot->shouldIndexDocument("/n.txt"));
    snapshot->removeAtIndex(0);
    EXPECT_FALSE(snapshot->shouldIndexDocument("/n.txt"));
    snapshot->updateTypeAtIndex("pdf", 0);
    EXPECT_FALSE(snapshot->shouldIndexDocument("/n.pdf"));
    EXPECT_EQ(snapshot->typeAtIndex(0), "pdf");
}

TEST_F(Lists, DocumentTypeAccessorsLogIllegalIndexesAndCodeStringsNeedSixCharacters)
{
    const auto types = documentTypesWith({ rule("txt") });
    LogCapture log;
    EXPECT_EQ(types->typeAtIndex(1), "");
    types->updateTypeAtIndex("x", -1);
    EXPECT_EQ(log.count("Illegal index in document types!"), 2);
    EXPECT_EQ(types->typeAtIndex(0), "txt");
    EXPECT_EQ(types->tableViewObjectValueForTableColumnRow(0), "all files with the file extension: *.txt");

    EXPECT_EQ(DocumentTypes::extractCodeString("'APPL'"), "APPL");
    EXPECT_EQ(DocumentTypes::extractCodeString("''"), "");
    EXPECT_EQ(DocumentTypes::extractCodeString("'APP'"), "");
    EXPECT_EQ(DocumentTypes::extractCodeString("'APPLE'"), "");
    EXPECT_EQ(DocumentTypes::extractCodeString(QString()), "");
}

TEST_F(Lists, TheShippedDefaultsLoadAndTheirAbsenceIsAnInternalInconsistency)
{
    const DocumentTypes types;
    EXPECT_TRUE(types.shouldIndexDocument("/d/Report.PDF"));
    EXPECT_FALSE(types.shouldIndexDocument("/d/a.out"));
    const FolderExclusionList folders;
    EXPECT_TRUE(folders.exclude("/home/u/project/node_modules"));
    EXPECT_FALSE(folders.exclude("/home/u/project/src"));
    const FileExclusionList files;
    EXPECT_GT(files.count(), 0);

    // Enabled patterns of both lists together fit the wildcard matcher's cache of ten.
    int enabled = 0;
    for (const QVariantList& list : { folders.copyOfContents(), files.copyOfContents() })
        for (const QVariant& entry : list)
            enabled += entry.toMap().value("enabled").toBool();
    EXPECT_LE(enabled, 10);

    Bundle::setMainBundlePath(tree.folder("Empty.app"));
    auto descriptionOf = [](auto make) {
        try {
            make();
        } catch (const InternalInconsistency& failure) {
            return failure.description();
        }
        return QString();
    };
    EXPECT_EQ(descriptionOf([] { DocumentTypes(); }), "could not find any docuement types defaults!");
    EXPECT_EQ(
        descriptionOf([] { FolderExclusionList(); }), "could not find any folder exclusion list defaults!");
    EXPECT_EQ(descriptionOf([] { FileExclusionList(); }), "could not find any file exclusion list defaults!");
    // A list file, even an empty one, needs no defaults.
    writeListFile(_fileExclusionListPath(), QVariantList());
    EXPECT_EQ(FileExclusionList().count(), 0);
}

TEST_F(Lists, TheFirstEnabledPatternWithAStringExpressionExcludes)
{
    writeListFile(_folderExclusionListPath(),
        QVariantList { QVariantMap { { "enabled", false }, { "expression", "*" } },
            QVariantMap { { "expression", "*" } }, QVariantMap { { "enabled", true } },
            QVariantMap { { "enabled", true }, { "expression", 7 } }, "odd element",
            QVariantMap { { "enabled", true }, { "expression", "/home/u/Music" } },
            QVariantMap { { "enabled", true }, { "expression", "*/build/*" } } });
    const FolderExclusionList list;
    EXPECT_EQ(list.count(), 7);
    EXPECT_FALSE(list.exclude("/home/u/Documents"));
    EXPECT_TRUE(list.exclude("/home/u/Music"));
    EXPECT_FALSE(list.exclude("/home/u/Music/Album"));
    EXPECT_FALSE(list.exclude("/home/u/music"));
    EXPECT_TRUE(list.exclude("/p/build/x"));
    EXPECT_FALSE(list.exclude("/p/build"));
}

// Patterns of fixed text are matched without the engine: they must answer as the engine does,
// escapes, wildcards inside, regular-expression characters and line feeds (which "*" does not
// cross) included.
TEST_F(Lists, ExclusionAnswersAreTheWildcardMatchersForEveryShapeOfPattern)
{
    const QStringList patterns = { "*/node_modules", "*/lost\\+found", "/home/u/a.txt", "*", "", "*.bak",
        "*~", "*/a b/", "*/x?y", "*/(a|b)", "*/a+", "*/[ab]", "*\\d", "*\\", "*/Caf\u00e9", "/home/*/a",
        "*\\.txt", "*/a{2}", "*$", "*^" };
    const QStringList paths = { "/p/node_modules", "/p/node_modules/x", "/p/lost+found", "/p/lost\\+found",
        "/home/u/a.txt", "/home/u/aXtxt", "", "/f.bak", "/f~", "/p/a b/", "/p/xzy", "/p/(a|b)", "/p/a",
        "/p/a+", "/p/aa", "/p/[ab]", "/p/b", "/p/7", "/p\\", "/p/Caf\u00e9", "/home/u/a", "/p/x\\.txt",
        "/p/x.txt", "/p/a{2}", "/p/a$", "/p/a^", "/p\n/node_modules", "/p\n/f.bak", "\n" };
    for (const QString& pattern : patterns) {
        writeListFile(_fileExclusionListPath(),
            QVariantList { QVariantMap { { "enabled", true }, { "expression", pattern } } });
        const FileExclusionList list;
        for (const QString& path : paths) {
            EXPECT_EQ(list.exclude(path), WildCardMatcher::stringMatches(path, pattern))
                << pattern.toStdString() << " " << path.toStdString();
        }
    }
}
