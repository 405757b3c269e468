// Listings, codes, display names and removal, on real files.

#include "platform/files/FileManager.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace quorvel;

namespace {

class Files : public testing::Test {
protected:
    QString make(const QString& relative, const QByteArray& contents = QByteArray(),
        QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner)
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();
        QFile::setPermissions(path, permissions);
        return path;
    }
    QString folder(const QString& relative)
    {
        QDir().mkpath(dir.filePath(relative));
        return dir.filePath(relative);
    }
    QString link(const QString& relative, const QString& target)
    {
        const QString path = dir.filePath(relative);
        ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData());
        return path;
    }

    QTemporaryDir dir;
};

const FolderEntry* entryNamed(const FolderListing& listing, const QString& name)
{
    for (const FolderEntry& entry : listing.entries)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

} // namespace

TEST_F(Files, AListingResolvesLinksAndGivesTheFolderItsIdentity)
{
    make("plain.txt");
    const QString sub = folder("sub");
    link("to-sub", sub);
    link("to-file", dir.filePath("plain.txt"));
    link("dangling", dir.filePath("nothing"));
    const int raw
        = ::open((QFile::encodeName(dir.path()) + "/bad\xff").constData(), O_CREAT | O_WRONLY, 0644);
    ::close(raw);

    QStringList undecodable;
    const FolderListing listing = FileManager::listFolderAtPath(dir.path(), &undecodable);
    ASSERT_TRUE(listing.readable);
    EXPECT_EQ(listing.entries.size(), 5u);
    auto kind = [&](const QString& name) {
        const FolderEntry* entry = entryNamed(listing, name);
        return entry ? QString("%1%2").arg(entry->exists).arg(entry->isFolder) : QString("absent");
    };
    EXPECT_EQ(kind("plain.txt"), "10");
    EXPECT_EQ(kind("sub"), "11");
    EXPECT_EQ(kind("to-sub"), "11");
    EXPECT_EQ(kind("to-file"), "10");
    EXPECT_EQ(kind("dangling"), "00");
    EXPECT_EQ(undecodable.size(), 1);
    EXPECT_EQ(FileManager::directoryContentsAtPath(dir.path()).size(), 5);

    const FolderListing viaLink = FileManager::listFolderAtPath(dir.filePath("to-sub"));
    const FolderListing direct = FileManager::listFolderAtPath(sub);
    EXPECT_EQ(viaLink.inode, direct.inode);
    EXPECT_EQ(viaLink.device, direct.device);
    EXPECT_NE(listing.inode, direct.inode);
    EXPECT_FALSE(FileManager::listFolderAtPath(dir.filePath("plain.txt")).readable);
    EXPECT_FALSE(FileManager::listFolderAtPath(dir.filePath("missing")).readable);
    ::unlink(
        (QFile::encodeName(dir.path()) + "/bad\xff").constData()); // beyond what QTemporaryDir can remove
}

TEST_F(Files, CodesComeFromTheFinderInformationOrFromWhatTheDesktopLaunches)
{
    const QString coded = make("coded");
    const char info[32] = { 'T', 'E', 'X', 'T', 't', 't', 'x', 't' };
    if (::setxattr(QFile::encodeName(coded).constData(), "user.com.apple.FinderInfo", info, sizeof info, 0)
        != 0)
        GTEST_SKIP() << "no user attributes on this file system";
    EXPECT_EQ(FileManager::fileTypeForHFSTypeCode(FileManager::typeCodeAtPath(coded, true)), "'TEXT'");
    EXPECT_EQ(FileManager::fileTypeForHFSTypeCode(FileManager::creatorCodeAtPath(coded, false)), "'ttxt'");
    const QString codedLink = link("coded-link", coded);
    EXPECT_EQ(FileManager::typeCodeAtPath(codedLink, true), FileManager::typeCodeAtPath(coded, true));
    EXPECT_EQ(FileManager::typeCodeAtPath(codedLink, false), 0u);
    // A listing reads the same codes (following links) for each file it lists.
    const FolderListing listing = FileManager::listFolderAtPath(dir.path());
    const FolderEntry* listed = entryNamed(listing, "coded-link");
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->storedTypeCode, FileManager::typeCodeAtPath(coded, true));
    EXPECT_EQ(listed->storedCreatorCode, FileManager::creatorCodeAtPath(coded, true));
    EXPECT_EQ(FileManager::typeCodeOfListedEntry(codedLink, *listed), listed->storedTypeCode);

    const auto executable = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
    EXPECT_EQ(FileManager::typeCodeAtPath(make("Player.AppImage",
                                              "\x7f"
                                              "ELF",
                                              executable),
                  true),
        FileManager::applicationTypeCode);
    EXPECT_EQ(FileManager::typeCodeAtPath(make("Viewer.AppImage",
                                              "\x7f"
                                              "ELF"),
                  true),
        0u);
    const QString entry
        = make("editor.desktop", "[Desktop Entry]\nType=Application\nName=Editor\nExec=/bin/true\n");
    EXPECT_EQ(FileManager::typeCodeAtPath(entry, true), FileManager::applicationTypeCode);
    EXPECT_EQ(FileManager::typeCodeAtPath(link("editor-link.desktop", entry), false), 0u);
    EXPECT_EQ(FileManager::typeCodeAtPath(make("hidden.desktop",
                                              "[Desktop Entry]\nType=Application\nName=H\n"
                                              "Exec=/bin/true\nNoDisplay=true\n"),
                  true),
        0u);
    EXPECT_EQ(FileManager::typeCodeAtPath(make("plain"), true), 0u);
    EXPECT_EQ(FileManager::fileTypeForHFSTypeCode(0), "''");
}

TEST_F(Files, DisplayNamesHideBundleSuffixesAndUseDesktopEntryNames)
{
    const QString entry
        = make("editor.desktop", "[Desktop Entry]\nType=Application\nName=Text Editor\nExec=/bin/true\n");
    EXPECT_EQ(FileManager::displayNameAtPath(entry), "Text Editor");
    EXPECT_EQ(FileManager::displayNameAtPath(make("broken.desktop", "not a key file")), "broken.desktop");
    EXPECT_EQ(FileManager::displayNameAtPath(folder("Mail.app")), "Mail");
    EXPECT_EQ(FileManager::displayNameAtPath("/Applications/"), "Applications");
    EXPECT_EQ(FileManager::displayNameAtPath("/"), "/");
    EXPECT_EQ(FileManager::displayNameAtPath("/a/notes.txt"), "notes.txt");
}

TEST_F(Files, RemovingALinkToAFolderLeavesTheFolderAlone)
{
    const QString kept = make("kept/inside.txt");
    const QString linkPath = link("link", dir.filePath("kept"));
    EXPECT_TRUE(FileManager::removeItemAtPath(linkPath));
    EXPECT_TRUE(QFile::exists(kept));
    EXPECT_TRUE(FileManager::removeItemAtPath(dir.filePath("kept")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("kept")));
    EXPECT_TRUE(FileManager::removeItemAtPath(dir.filePath("never there")));
}
