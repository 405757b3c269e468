// quorvel-scan as a user runs it: the user's lists, the index where the launcher reads it.

#include "index/ScanFixture.h"

#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QProcess>

using namespace quorvel;

TEST(ScanTool, ScansTheUsersLocationsPrintsEachStatusAndExitsZero)
{
    test::TemporaryTree tree;
    tree.file("docs/report.pdf");
    tree.file("docs/.hidden.pdf");
    ASSERT_TRUE(
        PropertyList::writeFile(Folders::pathInPreferencesFolder("Quorvel Launcher Search Locations List"),
            QVariantList { QVariantMap {
                { "path", tree.path("docs/") }, { "includeSubFolders", true }, { "enabled", true } } }));

    QProcess tool;
    tool.start(QStringLiteral(QUORVEL_BUILD_DIR "/quorvel-scan"), QStringList());
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "Starting scan...");
    EXPECT_EQ(lines[1], "Indexing " + tree.path("docs/") + "..");
    EXPECT_TRUE(lines[2].startsWith("Last disk scan was completed at ")) << lines[2].toStdString();

    const QVariantList index
        = PropertyList::readArrayFile(Folders::pathInPreferencesFolder("Quorvel Launcher Index"))
              .value_or(QVariantList());
    ASSERT_EQ(index.size(), 2);
    EXPECT_EQ(index[0].toMap().value("path"), tree.path("docs/"));
    EXPECT_EQ(index[1].toMap().value("path"), tree.path("docs/report.pdf"));

    QProcess misused;
    misused.start(QStringLiteral(QUORVEL_BUILD_DIR "/quorvel-scan"), { "--now" });
    ASSERT_TRUE(misused.waitForFinished(60000));
    EXPECT_EQ(misused.exitCode(), 2);
}

TEST(ScanTool, SetsADamagedIndexAsideAndExitsNonZeroWithoutTheCompletionLineWhenItCannotWrite)
{
    const QString indexPath = Folders::pathInPreferencesFolder("Quorvel Launcher Index");
    ASSERT_TRUE(PropertyList::writeFile(
        Folders::pathInPreferencesFolder("Quorvel Launcher Search Locations List"), QVariantList {}));
    QFile damaged(indexPath);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("<plist><array>");
    damaged.close();
    QProcess rescan;
    rescan.start(QStringLiteral(QUORVEL_BUILD_DIR "/quorvel-scan"), QStringList());
    ASSERT_TRUE(rescan.waitForFinished(60000));
    EXPECT_EQ(rescan.exitCode(), 0);
    QFile copy(indexPath + ".unreadable");
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), "<plist><array>");

    // A folder where the index belongs: no file can take its place.
    ASSERT_TRUE(QFile::remove(indexPath));
    ASSERT_TRUE(QDir().mkpath(indexPath));
    QProcess tool;
    tool.start(QStringLiteral(QUORVEL_BUILD_DIR "/quorvel-scan"), QStringList());
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 1);
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());
    EXPECT_FALSE(out.contains("Last disk scan was completed")) << out.toStdString();

    for (const char* option : { "--help", "--version" }) {
        QProcess asked;
        asked.start(QStringLiteral(QUORVEL_BUILD_DIR "/quorvel-scan"), { option });
        ASSERT_TRUE(asked.waitForFinished(60000));
        EXPECT_EQ(asked.exitCode(), 0) << option;
        EXPECT_TRUE(asked.readAllStandardOutput().contains("quorvel-scan")) << option;
    }
}
