// Listings whose files' Finder codes are read on another thread while the caller classifies:
// every entry's type is the one read directly from the file, however the two threads meet, and
// a listing dropped before its codes were read leaves nothing behind.

#include "index/TemporaryTree.h"

#include "platform/files/FileManager.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::test::TemporaryTree;

namespace {

// Plain files (every seventh an application by its code, every eleventh with another code),
// links to coded and plain files, dangling links, folders and desktop entries.
bool makeFolder(const TemporaryTree& tree, int files)
{
    bool hasAttributes = true;
    for (int i = 0; i < files; ++i) {
        const QString file = tree.file(QString("f/file %1.txt").arg(i));
        if (i % 7 == 0)
            hasAttributes = TemporaryTree::setCodes(file, "APPL", "????") && hasAttributes;
        else if (i % 11 == 0)
            hasAttributes = TemporaryTree::setCodes(file, "TEXT", "ttxt") && hasAttributes;
        if (i % 13 == 0)
            tree.symbolicLink(QString("f/link %1").arg(i), file);
        if (i % 17 == 0)
            tree.symbolicLink(QString("f/dangling %1").arg(i), tree.path("nothing"));
        if (i % 19 == 0)
            tree.folder(QString("f/folder %1").arg(i));
    }
    tree.desktopEntry("f/editor.desktop", "Text Editor");
    return hasAttributes;
}

} // namespace

TEST(ListingReadAhead, GivesEveryEntryTheTypeReadFromTheFileItself)
{
    TemporaryTree tree;
    const bool hasAttributes = makeFolder(tree, 400);
    const QString folder = tree.path("f");
    int applications = 0;
    // Many rounds, so that the caller meets the reading thread at different entries.
    for (int round = 0; round < 30; ++round) {
        const FolderListing listing = FileManager::listFolderAtPathReadingCodesAhead(folder);
        ASSERT_TRUE(listing.readable);
        ASSERT_EQ(listing.entries.size(), FileManager::listFolderAtPath(folder).entries.size());
        for (std::size_t i = 0; i < listing.entries.size(); ++i) {
            const QString path = folder + "/" + listing.entries[i].name;
            const FileManager::ListedFileType type = FileManager::typeOfListedEntry(path, listing, i);
            ASSERT_EQ(type.code, FileManager::typeCodeAtPath(path, true)) << path.toStdString();
            if (type.code == FileManager::applicationTypeCode)
                ++applications;
            if (listing.entries[i].name == "editor.desktop") {
                EXPECT_EQ(type.displayName, std::optional<QString>("Text Editor"));
            }
        }
    }
    if (hasAttributes) {
        EXPECT_EQ(applications, 30 * (58 + 1 + 5)); // coded files, the desktop entry, links to coded files
    }
}

TEST(ListingReadAhead, ListingsDroppedUnreadAndListingsOfNothingLeaveTheNextOnesCorrect)
{
    TemporaryTree tree;
    makeFolder(tree, 200);
    for (int round = 0; round < 50; ++round)
        FileManager::listFolderAtPathReadingCodesAhead(tree.path("f"));
    EXPECT_FALSE(FileManager::listFolderAtPathReadingCodesAhead(tree.path("missing")).readable);
    EXPECT_FALSE(FileManager::listFolderAtPathReadingCodesAhead(tree.path("f/file 1.txt")).readable);

    const FolderListing listing = FileManager::listFolderAtPathReadingCodesAhead(tree.path("f"));
    for (std::size_t i = listing.entries.size(); i-- > 0;) {
        const QString path = tree.path("f/" + listing.entries[i].name);
        ASSERT_EQ(
            FileManager::typeOfListedEntry(path, listing, i).code, FileManager::typeCodeAtPath(path, true));
    }
}
