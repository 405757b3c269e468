// Copies of damaged files: made once per damage, never overwritten.

#include "platform/files/UnreadableFile.h"

#include "platform/files/Folders.h"
#include "support/FileBytes.h"
#include "support/LogCapture.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace quorvel;
using test::writeBytes;

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

} // namespace

TEST(UnreadableFile, EachDamageIsCopiedAndLoggedOnceAndNoEarlierCopyIsOverwritten)
{
    const QString path = Folders::pathInPreferencesFolder("Quorvel Launcher History");
    writeBytes(path, "first damage");
    const test::LogCapture log;
    EXPECT_EQ(UnreadableFile::keepCopy(path), path + ".unreadable");
    EXPECT_EQ(UnreadableFile::keepCopy(path), path + ".unreadable") << "the same damage met again";
    EXPECT_EQ(log.lines().size(), 1);

    writeBytes(path, "second damage");
    EXPECT_EQ(UnreadableFile::keepCopy(path), path + ".unreadable.1");
    EXPECT_EQ(readBytes(path + ".unreadable"), "first damage");
    EXPECT_EQ(readBytes(path + ".unreadable.1"), "second damage");
    ASSERT_EQ(log.lines().size(), 2);
    EXPECT_TRUE(log.lines()[1].contains(path + ".unreadable.1")) << log.lines()[1].toStdString();

    const auto never = [](const QString&) { return false; };
    EXPECT_FALSE(UnreadableFile::keepCopyIfUnreadable(path, [](const QString&) { return true; }));
    QFile::remove(path);
    EXPECT_FALSE(UnreadableFile::keepCopyIfUnreadable(path, never)) << "a missing file is not damaged";
    EXPECT_EQ(UnreadableFile::keepCopy(path), "");
    EXPECT_EQ(log.lines().size(), 2);
}
