#include "platform/settings/UserDefaults.h"

#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "support/FileBytes.h"
#include "support/FullDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QPoint>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;
using test::readBytes;
using test::writeBytes;

namespace {

const QString domain = QStringLiteral("org.quorvel.test");

QVariantMap fileContents(const UserDefaults& defaults)
{
    return PropertyList::readDictionaryFile(defaults.domainFilePath())
        .value_or(QVariantMap { { "unreadable", true } });
}

} // namespace

TEST(UserDefaults, RegisteredValuesAnswerForMissingKeysButNeverReachTheFile)
{
    UserDefaults defaults(domain);
    defaults.registerDefaults({ { "tab", 0 }, { "launchAtLogin", "YES" },
        { "updateIntervalInSeconds", 1800.0f }, { "instantOn", true } });
    EXPECT_EQ(defaults.domainFilePath(), Folders::pathInPreferencesFolder("org.quorvel.test.plist"));
    EXPECT_EQ(defaults.stringForKey("launchAtLogin"), "YES");
    EXPECT_TRUE(defaults.boolForKey("launchAtLogin"));
    EXPECT_EQ(defaults.floatForKey("updateIntervalInSeconds"), 1800.0f);
    EXPECT_FALSE(defaults.objectForKey("unknown").isValid());
    EXPECT_EQ(defaults.integerForKey("unknown"), 0);
    EXPECT_FALSE(defaults.boolForKey("unknown"));
    EXPECT_EQ(defaults.stringForKey("unknown"), "");

    defaults.setInteger("tab", 2);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(fileContents(defaults), (QVariantMap { { "tab", qint64(2) } }));
    defaults.removeObjectForKey("tab");
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(fileContents(defaults), QVariantMap());
    EXPECT_EQ(defaults.integerForKey("tab"), 0); // the registered value answers again
}

TEST(UserDefaults, TypedGettersConvertAsThePlatformDoes)
{
    UserDefaults defaults(domain);
    defaults.setObject("interval", 90.7);
    defaults.setObject("negative", -90.7);
    defaults.setObject("huge", 1e30);
    defaults.setObject("nan", std::nan(""));
    defaults.setObject("text number", "  1800.5 seconds");
    defaults.setObject("yes", "YES");
    defaults.setObject("lower yes", "yes");
    defaults.setObject("true", "true");
    defaults.setObject("no", "NO");
    defaults.setObject("zero text", "0");
    defaults.setObject("word", "nan");
    defaults.setObject("exponent", "2e3");
    defaults.setObject("many digits", "-99999999999999999999999");
    defaults.setInteger("five", 5);
    defaults.setInteger("zero", 0);
    defaults.setObject("half", 0.5);
    defaults.setObject("dict", QVariantMap { { "a", 1 } });

    EXPECT_EQ(defaults.integerForKey("interval"), 90);
    EXPECT_EQ(defaults.integerForKey("negative"), -90);
    EXPECT_EQ(defaults.integerForKey("huge"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(defaults.integerForKey("nan"), 0);
    EXPECT_EQ(defaults.integerForKey("text number"), 1800);
    EXPECT_EQ(defaults.doubleForKey("text number"), 1800.5);
    EXPECT_EQ(defaults.integerForKey("yes"), 1);
    EXPECT_EQ(defaults.integerForKey("exponent"), 2); // the leading integer only
    EXPECT_EQ(defaults.doubleForKey("exponent"), 2000.0);
    EXPECT_EQ(defaults.integerForKey("many digits"), std::numeric_limits<qint64>::min());
    EXPECT_EQ(defaults.integerForKey("half"), 0);

    EXPECT_TRUE(defaults.boolForKey("yes"));
    EXPECT_TRUE(defaults.boolForKey("lower yes"));
    EXPECT_TRUE(defaults.boolForKey("true"));
    EXPECT_TRUE(defaults.boolForKey("five"));
    EXPECT_TRUE(defaults.boolForKey("half"));
    EXPECT_FALSE(defaults.boolForKey("no"));
    EXPECT_FALSE(defaults.boolForKey("zero text"));
    EXPECT_FALSE(defaults.boolForKey("zero"));
    EXPECT_FALSE(defaults.boolForKey("word"));
    EXPECT_FALSE(defaults.boolForKey("dict"));

    EXPECT_EQ(defaults.stringForKey("five"), "5");
    EXPECT_EQ(defaults.stringForKey("interval"), "90.7");
    EXPECT_EQ(defaults.stringForKey("dict"), "");
    EXPECT_EQ(defaults.dictionaryForKey("dict"), (QVariantMap { { "a", 1 } }));
    EXPECT_EQ(defaults.dictionaryForKey("five"), QVariantMap());
    EXPECT_EQ(defaults.floatForKey("interval"), 90.7f);
}

TEST(UserDefaults, AStoredRealReadsAsTruncatedIntegerAndIsSavedBackAsAnInteger)
{
    UserDefaults first(domain);
    first.setObject("updateIntervalInSeconds", 90.7);
    first.setFloat("transparency", 0.85f);
    ASSERT_TRUE(first.synchronize());

    UserDefaults second(domain);
    EXPECT_EQ(second.integerForKey("updateIntervalInSeconds"), 90);
    EXPECT_EQ(second.floatForKey("transparency"), 0.85f);
    second.setInteger("updateIntervalInSeconds", second.integerForKey("updateIntervalInSeconds"));
    ASSERT_TRUE(second.synchronize());
    const QVariant stored = fileContents(second).value("updateIntervalInSeconds");
    EXPECT_EQ(stored.metaType().id(), QMetaType::LongLong);
    EXPECT_EQ(stored.toLongLong(), 90);
}

TEST(UserDefaults, TwoInstancesExchangeKeysThroughSynchronizeWithoutLosingEitherChanges)
{
    UserDefaults a(domain);
    UserDefaults b(domain);
    a.setString("fromA", "a");
    a.setInteger("shared", 1);
    b.setString("fromB", "b");
    ASSERT_TRUE(a.synchronize());
    ASSERT_TRUE(b.synchronize());
    ASSERT_TRUE(a.synchronize());
    for (const UserDefaults* d : { &a, &b }) {
        EXPECT_EQ(d->stringForKey("fromA"), "a");
        EXPECT_EQ(d->stringForKey("fromB"), "b");
        EXPECT_EQ(d->integerForKey("shared"), 1);
    }

    // b's copy of "shared" is stale but unchanged there: a's newer value must survive b's write.
    a.setInteger("shared", 2);
    a.removeObjectForKey("fromA");
    ASSERT_TRUE(a.synchronize());
    b.setString("fromB", "b2");
    ASSERT_TRUE(b.synchronize());
    EXPECT_EQ(fileContents(b), (QVariantMap { { "shared", qint64(2) }, { "fromB", QString("b2") } }));
    EXPECT_FALSE(b.objectForKey("fromA").isValid());
    ASSERT_TRUE(a.synchronize());
    EXPECT_EQ(a.stringForKey("fromB"), "b2");
}

// A writer holding the lock (the pane saving, say) neither holds up nor fails a reader with
// nothing of its own to write; the reader sees the file as it stands.
TEST(UserDefaults, ASynchronizeWithNothingToWriteReadsWhileAWriterHoldsTheLock)
{
    UserDefaults writer(domain);
    writer.setString("combinedLastSearchTerm", "mail");
    ASSERT_TRUE(writer.synchronize());
    QLockFile held(writer.domainFilePath() + ".lock");
    ASSERT_TRUE(held.tryLock(0));
    UserDefaults reader(domain);
    EXPECT_TRUE(reader.synchronize());
    EXPECT_EQ(reader.stringForKey("combinedLastSearchTerm"), "mail");
    reader.setInteger("tab", 1);
    held.unlock();
    ASSERT_TRUE(reader.synchronize());
    EXPECT_EQ(fileContents(reader),
        (QVariantMap { { "combinedLastSearchTerm", QString("mail") }, { "tab", qint64(1) } }));
    EXPECT_FALSE(QFile::exists(reader.domainFilePath() + ".lock"));
}

TEST(UserDefaults, ProcessesSynchronizingAtTheSameTimeLoseNoKeys)
{
    constexpr int processes = 3, keysEach = 15;
    std::vector<pid_t> children;
    for (int c = 0; c < processes; ++c) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            UserDefaults own(domain);
            bool ok = true;
            for (int k = 0; k < keysEach; ++k) {
                own.setInteger(QString("p%1-%2").arg(c).arg(k), k);
                ok = own.synchronize() && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const UserDefaults after(domain);
    EXPECT_EQ(fileContents(after).size(), processes * keysEach);
    EXPECT_FALSE(QFile::exists(after.domainFilePath() + ".lock"));
}

// What a process killed while holding a lock leaves: the lock file, naming a process that is gone.
void leaveLockOfKilledProcess(const QString& path)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto* lock = new QLockFile(path); // never unlocked, as by a kill
        ::_exit(lock->tryLock(0) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << qPrintable(path);
}

TEST(UserDefaults, LocksLeftByKilledWritersAndTheirClearingsGoWithTheNextWrite)
{
    UserDefaults defaults(domain);
    const QString lock = defaults.domainFilePath() + ".lock";
    QDir().mkpath(QFileInfo(lock).path());
    writeBytes(lock + ".rmlock.notes", "not a lock, though named like one");
    // A writer killed while clearing a stale lock, after it had cleared it; a writer killed in
    // its write, and the clearing of that lock killed while it cleared a stale lock of its own.
    const QList<QStringList> kills = { { lock + ".rmlock" }, { lock, lock + ".rmlock.rmlock" } };
    for (const QStringList& left : kills) {
        for (const QString& path : left)
            leaveLockOfKilledProcess(path);
        defaults.setInteger("tab", int(left.size()));
        ASSERT_TRUE(defaults.synchronize());
        EXPECT_EQ(fileContents(defaults).value("tab"), left.size());
        const QStringList files = QDir(QFileInfo(lock).path()).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(
            files.join(' ').toStdString(), "org.quorvel.test.plist org.quorvel.test.plist.lock.rmlock.notes")
            << "left before: " << qPrintable(left.join(", "));
    }
}

TEST(UserDefaults, BadSettingsFilesGiveTheRegisteredDefaultsAndAreKeptAsideWhenReplaced)
{
    const QList<QByteArray> bad = {
        "",
        "bplist00\xd1\x01\x02",
        PropertyList::toData(QVariantList { QString("an array") }),
        PropertyList::toData(QVariantMap { { "tab", 3 } }).left(120),
    };
    for (const QByteArray& bytes : bad) {
        const QString path = UserDefaults(domain).domainFilePath();
        writeBytes(path, bytes);
        QFile::remove(path + ".unreadable");

        UserDefaults defaults(domain);
        defaults.registerDefaults({ { "tab", 0 }, { "instantOn", true } });
        EXPECT_EQ(defaults.integerForKey("tab"), 0);
        EXPECT_TRUE(defaults.boolForKey("instantOn"));
        EXPECT_TRUE(defaults.synchronize());
        EXPECT_EQ(readBytes(path), bytes) << "nothing changed here, so nothing is written";

        defaults.setInteger("tab", 1);
        EXPECT_TRUE(defaults.synchronize());
        EXPECT_EQ(fileContents(defaults), (QVariantMap { { "tab", qint64(1) } }));
        EXPECT_EQ(readBytes(path + ".unreadable"), bytes);
    }
}

TEST(UserDefaults, AnUnreadableSettingsFileIsSetAsideWhenFirstReadAndAnEarlierCopyIsKept)
{
    const QString path = UserDefaults(domain).domainFilePath();
    writeBytes(path + ".unreadable", "an earlier damage");
    const QByteArray damaged = PropertyList::toData(QVariantMap { { "tab", 3 } }).chopped(10);
    writeBytes(path, damaged);
    UserDefaults defaults(domain);
    EXPECT_EQ(readBytes(path + ".unreadable.1"), damaged) << "set aside before anything could replace it";
    defaults.setInteger("tab", 1);
    EXPECT_TRUE(defaults.synchronize());
    defaults.setInteger("tab", 2);
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(readBytes(path + ".unreadable"), "an earlier damage");
    EXPECT_EQ(readBytes(path + ".unreadable.1"), damaged);
    EXPECT_FALSE(QFile::exists(path + ".unreadable.2"));
}

TEST(UserDefaults, AGoodFileThatTurnsBadKeepsItsKeysOnTheNextWrite)
{
    UserDefaults writer(domain);
    writer.setString("location", "/home/user/Applications");
    writer.setInteger("tab", 1);
    ASSERT_TRUE(writer.synchronize());

    UserDefaults reader(domain);
    writeBytes(reader.domainFilePath(), readBytes(reader.domainFilePath()).left(150));
    reader.setInteger("automaticScanning", 1);
    ASSERT_TRUE(reader.synchronize());
    EXPECT_EQ(fileContents(reader),
        (QVariantMap { { "location", QString("/home/user/Applications") }, { "tab", qint64(1) },
            { "automaticScanning", qint64(1) } }));
}

// A change made while the disk is full waits in memory, and the first synchronize with room
// writes it. (A really full disk refuses the lock file first: tests/e2e/full-disk-under-xvfb.sh.)
TEST(UserDefaults, AChangeMadeWhileTheDiskIsFullIsWrittenOnceThereIsRoom)
{
    UserDefaults defaults(domain);
    defaults.setInteger("tab", 1);
    ASSERT_TRUE(defaults.synchronize());
    {
        const test::FullDisk full;
        defaults.setString("combinedLastSearchTerm", "mail");
        EXPECT_FALSE(defaults.synchronize());
        EXPECT_EQ(fileContents(defaults), (QVariantMap { { "tab", qint64(1) } }));
    }
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(fileContents(defaults).value("combinedLastSearchTerm"), "mail");
}

TEST(UserDefaults, ARemovedFileResetsTheKeysNotChangedHere)
{
    UserDefaults defaults(domain);
    defaults.setInteger("tab", 1);
    ASSERT_TRUE(defaults.synchronize());
    QFile::remove(defaults.domainFilePath());
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_FALSE(defaults.objectForKey("tab").isValid());
    EXPECT_FALSE(QFile::exists(defaults.domainFilePath()));
}

TEST(UserDefaults, ValuesTheFileCannotHoldAreRefusedSoLaterWritesStillSucceed)
{
    UserDefaults defaults(domain);
    defaults.setObject("point", QPoint(1, 2));
    defaults.setObject("list", QVariantList { QString("ok"), QVariant::fromValue(QPoint()) });
    defaults.setString("name", "kept");
    EXPECT_FALSE(defaults.objectForKey("point").isValid());
    EXPECT_FALSE(defaults.objectForKey("list").isValid());
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(fileContents(defaults), (QVariantMap { { "name", QString("kept") } }));
    defaults.setObject("name", QVariant()); // an invalid value removes the key
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(fileContents(defaults), QVariantMap());
}

TEST(UserDefaults, TheSharedInstanceUsesTheMainBundlesIdentifierAndCanBeReplaced)
{
    QString identifier = Bundle::mainBundle().bundleIdentifier();
    if (identifier.isEmpty())
        identifier = "org.quorvel.launcher";
    UserDefaults::resetStandardUserDefaults();
    UserDefaults& shared = UserDefaults::standardUserDefaults();
    EXPECT_EQ(shared.domainFilePath(), Folders::pathInPreferencesFolder(identifier + ".plist"));
    EXPECT_EQ(&UserDefaults::standardUserDefaults(), &shared);

    shared.setString("combinedLastSearchTerm", "mail");
    ASSERT_TRUE(shared.synchronize());
    UserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(UserDefaults::standardUserDefaults().stringForKey("combinedLastSearchTerm"), "mail");
    UserDefaults::resetStandardUserDefaults();
}
