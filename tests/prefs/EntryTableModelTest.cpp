// The tables over the live lists: edits keep the keys no column shows, rows come and go, an
// unusable pattern is marked, and editing while a scan reads the list loses nothing.

#include "prefs/EntryTableModel.h"
#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FileList.h"
#include "index/FileListDelegate.h"
#include "index/FolderExclusionList.h"
#include "index/SearchLocations.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace quorvel::test {

namespace {

using Kind = EntryTableModel::Kind;

std::vector<EntryTableModel::Column> exclusionColumns()
{
    return { { "enabled", "Enabled", Kind::Flag }, { "expression", "Pattern", Kind::Pattern } };
}

void replaceEntries(IndexingList& list, const QVariantList& entries)
{
    const std::lock_guard<std::mutex> guard(list.lock());
    list.contents() = entries;
}

class QuietDelegate final : public FileListDelegate {
public:
    void updateStatusBar() override { }
    void fileListWasRefreshed(const WrittenIndex&) override { }
};

} // namespace

TEST(EntryTable, EditsChangeOnlyTheirKeyAndRowsComeAndGo)
{
    FolderExclusionList list;
    replaceEntries(
        list, { QVariantMap { { "enabled", false }, { "expression", "/a" }, { "origin", "user" } } });
    EntryTableModel model(list, exclusionColumns(), { { "enabled", true }, { "expression", QString() } });

    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::CheckStateRole), Qt::Unchecked);
    EXPECT_TRUE(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(model.setData(model.index(0, 1), "/b/*", Qt::EditRole));
    EXPECT_EQ(list.copyOfContents().at(0).toMap(),
        QVariantMap({ { "enabled", true }, { "expression", "/b/*" }, { "origin", "user" } }));
    EXPECT_TRUE(list.exclude("/b/c")) << "the scan sees the edit at once";

    EXPECT_EQ(model.addEntry(), 1);
    EXPECT_EQ(
        list.copyOfContents().at(1).toMap(), QVariantMap({ { "enabled", true }, { "expression", "" } }));
    EXPECT_TRUE(model.removeRows(0, 1));
    EXPECT_FALSE(model.removeRows(1, 1)) << "no such row";
    EXPECT_EQ(list.count(), 1);
    EXPECT_FALSE(list.exclude("/b/c"));
}

TEST(EntryTable, APatternThatCannotBeCompiledIsMarkedInItsRow)
{
    FileExclusionList list;
    replaceEntries(list,
        { QVariantMap { { "enabled", true }, { "expression", "/home/me/Notes (old" } },
            QVariantMap { { "enabled", true }, { "expression", "/home/me/*.bak" } } });
    EntryTableModel model(list, exclusionColumns(), {});

    EXPECT_FALSE(list.exclude("/home/me/Notes (old")) << "the matcher matches nothing with it";
    EXPECT_EQ(model.data(model.index(0, 1), Qt::ToolTipRole).toString(),
        EntryTableModel::invalidPatternExplanation());
    EXPECT_TRUE(model.data(model.index(0, 1), Qt::ForegroundRole).isValid());
    EXPECT_FALSE(model.data(model.index(1, 1), Qt::ToolTipRole).isValid());
    EXPECT_FALSE(model.data(model.index(1, 1), Qt::ForegroundRole).isValid());
}

TEST(EntryTable, EditingAnExclusionListWhileAScanReadsItLosesNothing)
{
    // A tree large enough that the scan is still walking while the edits are made.
    const QString root = Folders::joinPath(Folders::homeFolder(), "tree");
    for (int folder = 0; folder < 200; ++folder) {
        const QString path = QStringLiteral("%1/folder %2").arg(root).arg(folder);
        ASSERT_TRUE(QDir().mkpath(path));
        for (int file = 0; file < 10; ++file) {
            QFile item(QStringLiteral("%1/note %2.txt").arg(path).arg(file));
            ASSERT_TRUE(item.open(QIODevice::WriteOnly));
        }
    }
    SearchLocations locations;
    replaceEntries(locations,
        { QVariantMap { { "path", root + "/" }, { "includeSubFolders", true }, { "enabled", true } } });
    DocumentTypes documentTypes;
    FolderExclusionList folderExclusions;
    FileExclusionList fileExclusions;
    replaceEntries(folderExclusions, {});
    QuietDelegate delegate;
    FileList scanner;
    scanner.setSearchLocations(&locations);
    scanner.setDocumentTypes(&documentTypes);
    scanner.setFolderExclusionList(&folderExclusions);
    scanner.setFileExclusionList(&fileExclusions);
    scanner.setAppController(&delegate);

    EntryTableModel model(
        folderExclusions, exclusionColumns(), { { "enabled", true }, { "expression", QString() } });
    scanner.redoFileList();
    QStringList written;
    for (int edit = 0; edit < 400; ++edit) {
        const int row = model.addEntry();
        const QString pattern = QStringLiteral("%1/folder %2").arg(root).arg(1000 + edit);
        model.setData(model.index(row, 1), pattern, Qt::EditRole);
        written << pattern;
        if (edit % 3 == 2) {
            model.removeRows(row, 1);
            written.removeLast();
        }
    }
    EXPECT_TRUE(scanner.showProgressIndicator()) << "the edits were meant to meet a running scan";
    scanner.waitUntilScanHasFinished();
    folderExclusions.save();

    EXPECT_TRUE(QFile::exists(Folders::pathInPreferencesFolder("Quorvel Launcher Index")));
    QStringList saved;
    for (const QVariant& entry :
        PropertyList::readArrayFile(folderExclusions.listFilePath()).value_or(QVariantList()))
        saved << entry.toMap().value("expression").toString();
    EXPECT_EQ(saved, written);
}

} // namespace quorvel::test
