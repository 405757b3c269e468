// Desktop entries as GIO reads them, and where applications are announced.

#include "platform/desktop/DesktopEntry.h"
#include "platform/files/Folders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace quorvel;

namespace {

class DesktopEntries : public testing::Test {
protected:
    void TearDown() override { qunsetenv("XDG_DATA_DIRS"); }

    QString write(const QString& name, const QByteArray& text)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(DesktopEntries, OnlyWellFormedApplicationEntriesWithTheirProgramAreRead)
{
    const auto entry = DesktopEntry::fromFile(write("a.desktop",
        "[Desktop Entry]\nType=Application\nName=Files\n"
        "Name[xx]=Fichiers\nIcon=system-file-manager\n"
        "Exec=/bin/true %U\n"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name(), "Files");
    EXPECT_EQ(entry->iconName(), "system-file-manager");
    EXPECT_TRUE(entry->shouldBeShown());

    EXPECT_FALSE(
        DesktopEntry::fromFile(write("b.desktop", "[Desktop Entry]\nType=Link\nName=L\nURL=file:///\n")));
    EXPECT_FALSE(DesktopEntry::fromFile(write("c.desktop",
        "[Desktop Entry]\nType=Application\nName=C\n"
        "Exec=/no/such/program\n")));
    EXPECT_FALSE(
        DesktopEntry::fromFile(write("d.desktop", "[Desktop Entry]\nType=Application\nName=D\ngarbage\n")));
    EXPECT_FALSE(DesktopEntry::fromFile(dir.filePath("missing.desktop")));
    // A FIFO with no writer would block a read for ever; a folder is no entry either.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.desktop")).constData(), 0600), 0);
    EXPECT_FALSE(DesktopEntry::fromFile(dir.filePath("pipe.desktop")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.desktop"));
    EXPECT_FALSE(DesktopEntry::fromFile(dir.filePath("folder.desktop")));

    for (const char* hiding : { "NoDisplay=true\n", "Hidden=true\n", "OnlyShowIn=NoSuchDesktop;\n" }) {
        const auto hidden = DesktopEntry::fromFile(write(
            "e.desktop", QByteArray("[Desktop Entry]\nType=Application\nName=E\nExec=/bin/true\n") + hiding));
        ASSERT_TRUE(hidden) << hiding;
        EXPECT_FALSE(hidden->shouldBeShown()) << hiding;
    }
}

TEST_F(DesktopEntries, ApplicationFoldersFollowTheXdgDataFoldersWithoutDuplicates)
{
    qputenv("XDG_DATA_DIRS", "/srv/data/:relative:/usr/share:/usr/share/::/");
    EXPECT_EQ(DesktopEntry::applicationFolders(),
        (QStringList { Folders::homeFolder() + "/.local/share/applications/", "/srv/data/applications/",
            "/usr/share/applications/", "/applications/" }));
    qputenv("XDG_DATA_HOME", "/custom/home-data");
    qunsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(DesktopEntry::applicationFolders(),
        (QStringList { "/custom/home-data/applications/", "/usr/local/share/applications/",
            "/usr/share/applications/" }));
}
