// quorvel-scan as a user runs it: the user's lists, the index where the launcher reads it.

#include "index/ScanFixture.h"

#include "platform/Folders.h"
#include "platform/PropertyList.h"

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
