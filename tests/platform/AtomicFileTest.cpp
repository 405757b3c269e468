// Atomic writes on real files: leftovers of killed writes, modes, planted links, failed stages.

#include "platform/files/AtomicFile.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/UserDefaults.h"
#include "support/FileBytes.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;
using test::readBytes;
using test::writeBytes;

namespace {

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

struct stat statusOf(const QString& path)
{
    struct stat info { };
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

// Sets the fault injector for one test and removes it at the end, whatever happens.
struct InjectedFaults {
    explicit InjectedFaults(AtomicFile::FaultInjector injector)
    {
        AtomicFile::setFaultInjector(std::move(injector));
    }
    ~InjectedFaults() { AtomicFile::setFaultInjector({}); }
};

} // namespace

TEST(AtomicFile, AWriteRemovesWhatKilledWritesOfTheSameFileLeftAndNothingElse)
{
    const QString folder = Folders::preferencesFolder();
    const QString name = "Quorvel Launcher History";
    const QString path = Folders::joinPath(folder, name);
    // A write killed between its flush and its rename.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFile::setFaultInjector([](AtomicFile::Stage stage, const QString&) {
            if (stage == AtomicFile::Stage::Rename)
                ::raise(SIGKILL);
            return 0;
        });
        AtomicFile::write(path, "killed");
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_EQ(filesIn(folder).size(), 1);
    EXPECT_TRUE(AtomicFile::isTemporaryNameOf(filesIn(folder).value(0), name));

    const QStringList kept = { name + ".Ab3dE.tmp", name + ".Ab3dE9", name + ".Ab-dE9.tmp",
        name + ".Ab3dE9.tmp.x", "Other.Ab3dE9.tmp", name + "x.Ab3dE9.tmp", name + ".lock",
        name + ".LiveW1.tmp", name + ".Link01.tmp" };
    for (const QString& file : kept.mid(0, 7))
        writeBytes(Folders::joinPath(folder, file), "not ours to remove");
    writeBytes(Folders::joinPath(folder, name + ".Zz9Zz9.tmp"), "left by an older killed write");
    // A write under way in another process holds its temporary file's lock.
    const int live = ::open(QFile::encodeName(Folders::joinPath(folder, kept[7])).constData(),
        O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    ::symlink(QFile::encodeName(Folders::joinPath(folder, kept[0])).constData(),
        QFile::encodeName(Folders::joinPath(folder, kept[8])).constData());

    ASSERT_TRUE(PropertyList::writeFile(path, QVariantList { QString("new") }));
    ::close(live);
    QStringList expected = kept + QStringList { name };
    expected.sort();
    EXPECT_EQ(filesIn(folder), expected);
}

// A cache file of mode 000 that kept its mode would stay unreadable, and be rebuilt forever.
TEST(AtomicFile, FilesInThePreferencesAndCacheFoldersAreTheUsersAloneAndNoFileBecomesWritableByOthers)
{
    const mode_t savedMask = ::umask(002);
    const QString inPreferences = Folders::pathInPreferencesFolder("list");
    writeBytes(inPreferences, "an older release wrote me");
    ::chmod(QFile::encodeName(inPreferences).constData(), 0664);
    const QString inCache = Folders::joinPath(Folders::cacheFolder(), "index.cache");
    writeBytes(inCache, "made unreadable");
    ::chmod(QFile::encodeName(inCache).constData(), 0);
    const QString fresh = Folders::pathInPreferencesFolder("fresh");
    const QString elsewhere = Folders::joinPath(Folders::homeFolder(), "elsewhere");
    const QString shared = Folders::joinPath(Folders::homeFolder(), "shared");
    writeBytes(shared, "old");
    ::chmod(QFile::encodeName(shared).constData(), 0666);
    const QString readOnly = Folders::joinPath(Folders::homeFolder(), "read only");
    writeBytes(readOnly, "old");
    ::chmod(QFile::encodeName(readOnly).constData(), 0440);
    for (const QString& path : { inPreferences, inCache, fresh, elsewhere, shared, readOnly })
        EXPECT_TRUE(AtomicFile::write(path, "new")) << path.toStdString();
    ::umask(savedMask);
    EXPECT_EQ(statusOf(inPreferences).st_mode & 07777, 0600u);
    EXPECT_EQ(statusOf(inCache).st_mode & 07777, 0600u);
    EXPECT_EQ(statusOf(fresh).st_mode & 07777, 0600u);
    EXPECT_EQ(statusOf(elsewhere).st_mode & 07777, 0644u & ~002u);
    EXPECT_EQ(statusOf(shared).st_mode & 07777, 0644u);
    EXPECT_EQ(statusOf(readOnly).st_mode & 07777, 0440u);
    EXPECT_EQ(statusOf(Folders::preferencesFolder()).st_mode & 07777, 0700u);
}

TEST(AtomicFile, LinksPlantedInThePreferencesFolderAreReplacedNeverFollowed)
{
    const QString victim = Folders::joinPath(Folders::homeFolder(), "victim");
    writeBytes(victim, "precious"); // fresh: QLockFile would wait on a link to it as on a held lock
    auto plant = [&victim](const QString& name) {
        const QString path = Folders::pathInPreferencesFolder(name);
        ::symlink(QFile::encodeName(victim).constData(), QFile::encodeName(path).constData());
        return path;
    };
    const QString index = plant("Quorvel Launcher Index");
    ASSERT_TRUE(PropertyList::writeFile(index, QVariantList { QString("new") }));
    EXPECT_TRUE(S_ISREG(statusOf(index).st_mode));
    EXPECT_EQ(PropertyList::readArrayFile(index), QVariantList { QString("new") });

    // The settings: their lock and the copy kept of an unreadable file.
    const QString domain = "org.quorvel.links";
    const QString settings = Folders::pathInPreferencesFolder(domain + ".plist");
    writeBytes(settings, "unreadable");
    plant(domain + ".plist.lock");
    const QString copy = plant(domain + ".plist.unreadable");
    UserDefaults defaults(domain);
    defaults.setInteger("key", 1);
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(readBytes(copy), "unreadable");
    EXPECT_TRUE(S_ISREG(statusOf(copy).st_mode));
    EXPECT_EQ(readBytes(victim), "precious");
}

TEST(AtomicFile, AFullDiskOrAnIoErrorAtAnyStageKeepsTheOldFileAndSaysSoOnce)
{
    const QString folder = Folders::preferencesFolder();
    const QString path = Folders::joinPath(folder, "Quorvel Launcher Search Locations List");
    ASSERT_TRUE(PropertyList::writeFile(path, QVariantList { QString("old") }));
    const QByteArray before = readBytes(path);
    const QList<QPair<AtomicFile::Stage, int>> faults
        = { { AtomicFile::Stage::Create, EACCES }, { AtomicFile::Stage::Write, ENOSPC },
              { AtomicFile::Stage::Sync, EIO }, { AtomicFile::Stage::Rename, EIO } };
    for (const auto& [failing, error] : faults) {
        const InjectedFaults injected([failing, error, path](AtomicFile::Stage stage, const QString& target) {
            return stage == failing && target == path ? error : 0;
        });
        test::LogCapture log;
        EXPECT_FALSE(PropertyList::writeFile(path, QVariantList { QString("new") }));
        EXPECT_EQ(readBytes(path), before);
        EXPECT_EQ(filesIn(folder), QStringList { QFileInfo(path).fileName() });
        ASSERT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(log.lines()[0].contains(path)) << log.lines()[0].toStdString();
        EXPECT_TRUE(log.lines()[0].contains(QString::fromLocal8Bit(std::strerror(error))));
        // Another file is written meanwhile: the injector decides by the path.
        EXPECT_TRUE(AtomicFile::write(Folders::joinPath(Folders::homeFolder(), "beside"), "x"));
    }
    EXPECT_TRUE(PropertyList::writeFile(path, QVariantList { QString("new") }));
}

TEST(AtomicFile, AReplacedWriteRenamesWithoutWaitingOnTheDisk)
{
    const QString path = Folders::joinPath(Folders::homeFolder(), "derived.cache");
    ASSERT_TRUE(AtomicFile::write(path, "old"));
    // A flush that would fail shows whether the write waited for one.
    const InjectedFaults injected(
        [](AtomicFile::Stage stage, const QString&) { return stage == AtomicFile::Stage::Sync ? EIO : 0; });
    test::LogCapture log;
    EXPECT_TRUE(AtomicFile::write(
        path, { QByteArrayView("new "), QByteArrayView("bytes") }, AtomicFile::Durability::replaced));
    EXPECT_EQ(readBytes(path), "new bytes");
    EXPECT_EQ(filesIn(Folders::homeFolder()).filter("derived"), QStringList { "derived.cache" });
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(AtomicFile::write(path, "durable"));
    EXPECT_EQ(readBytes(path), "new bytes");
}
