// The start's read of the index: asked for while held, it reads the file only once released.

#include "support/IndexFiles.h"

#include "app/BackgroundIndexRead.h"

#include <QObject>
#include <QTest>
#include <gtest/gtest.h>

using namespace quorvel;

TEST(BackgroundIndexRead, AReadAskedForWhileHeldReadsTheFileAsItIsWhenReleased)
{
    test::writeIndex({ { "Before", "doc", "/tmp/Before" } });
    QObject receiver;
    BackgroundIndexRead read(&receiver);
    read.hold();
    std::shared_ptr<const LaunchItemTable> table;
    bool done = false;
    const auto keep = [&](const QString&, const std::optional<FileIdentity>&,
                          std::shared_ptr<const LaunchItemTable> result) {
        table = std::move(result);
        done = true;
    };
    ASSERT_TRUE(read.read(_combinedListPath(), keep));
    EXPECT_TRUE(read.isReading());
    EXPECT_FALSE(read.read(_combinedListPath(), keep)) << "one read at a time, held or not";
    // Replaced before the release, which the read must wait for to see it.
    test::writeIndex({ { "After", "doc", "/tmp/After" }, { "Later", "doc", "/tmp/Later" } });
    read.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 60000));
    ASSERT_TRUE(table);
    ASSERT_EQ(table->size(), 2u);
    EXPECT_EQ(table->name(0).toString(), "After");
    EXPECT_FALSE(read.isReading());
}
