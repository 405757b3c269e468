// Trees that are not plain folders of files: links to "/" and to folders walked already, the
// kernel's virtual file systems, FIFOs and sockets, folders that cannot be read. Each scan ends,
// writes its index and says once what it left out.

#include "index/ScanFixture.h"
#include "support/LogCapture.h"

#include "platform/plist/PropertyList.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <algorithm>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quorvel;
using quorvel::test::LogCapture;
using quorvel::test::ScanFixture;

namespace {

// Root reads every folder. This thread, and the threads it starts from now on (the scan's),
// give up the capabilities that let it, until the object goes; the raw system call changes
// this thread alone.
class WithoutReadingEveryFolder {
public:
    WithoutReadingEveryFolder()
    {
        if (::syscall(SYS_capget, &header, saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = { saved[0], saved[1] };
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        changed = ::syscall(SYS_capset, &header, reduced) == 0;
    }
    ~WithoutReadingEveryFolder()
    {
        if (changed)
            ::syscall(SYS_capset, &header, saved);
    }
    WithoutReadingEveryFolder(const WithoutReadingEveryFolder&) = delete;
    WithoutReadingEveryFolder& operator=(const WithoutReadingEveryFolder&) = delete;

private:
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct saved[2] {};
    bool changed = false;
};

class HostileTree : public ScanFixture {
protected:
    // A scan that must end within the bound: the items it wrote, or a failure.
    QVariantList scanWithin(int seconds)
    {
        fileList->redoFileList();
        const QDeadlineTimer deadline(seconds * 1000);
        while (fileList->showProgressIndicator() && !deadline.hasExpired())
            QThread::msleep(20);
        EXPECT_FALSE(fileList->showProgressIndicator()) << "the scan did not end within " << seconds << " s";
        if (fileList->showProgressIndicator())
            return {}; // the fixture's scanner stops the walk at its next entry when it goes
        fileList->waitUntilScanHasFinished();
        EXPECT_TRUE(fileList->lastScanWroteIndex());
        return PropertyList::readArrayFile(indexPath()).value_or(QVariantList());
    }

    static QStringList pathsOfType(const QVariantList& items, const QString& type)
    {
        QStringList paths;
        for (const QVariant& item : items) {
            if (item.toMap().value("type") == type)
                paths.append(item.toMap().value("path").toString());
        }
        return paths;
    }
};

} // namespace

TEST_F(HostileTree, ALinkToTheRootOfTheDiskEndsWithEveryFolderWalkedOnceAndNoVirtualFileSystem)
{
    setDocumentExtensions({});
    tree.symbolicLink("Documents/root", "/");
    setLocations({ location(tree.path("Documents")) });
    // The two largest trees of a build machine are cut off: the bound is about ending, not speed.
    setFolderExclusions({ tree.path("Documents/root/usr"), tree.path("Documents/root/work") });
    LogCapture log;

    const QVariantList items = scanWithin(10);
    const QStringList folders = pathsOfType(items, "fold");
    ASSERT_GT(folders.size(), 2);
    QSet<QString> resolved;
    for (const QString& folder : folders) {
        EXPECT_FALSE(folder.startsWith(tree.path("Documents/root/proc/"))) << folder.toStdString();
        EXPECT_FALSE(folder.startsWith(tree.path("Documents/root/sys/"))) << folder.toStdString();
        const QString real = QFileInfo(folder).canonicalFilePath();
        EXPECT_TRUE(real.isEmpty() || !resolved.contains(real)) << "walked twice: " << folder.toStdString();
        resolved.insert(real);
    }
    EXPECT_TRUE(folders.contains(tree.path("Documents/root/etc")));
    EXPECT_EQ(log.linesContaining("folders on virtual file systems (").size(), 1);
}

TEST_F(HostileTree, LinksToFoldersWalkedAlreadyAreLeftOutWithOneLineAndTwoLinksToOneFolderWalkItOnce)
{
    tree.file("real/inner/a.pdf");
    tree.file("other/b.pdf");
    tree.symbolicLink("links/to-real", tree.path("real"));
    tree.symbolicLink("links/to-inner", tree.path("real/inner"));
    tree.symbolicLink("links/one", tree.path("other"));
    tree.symbolicLink("links/two", tree.path("other"));
    setLocations({ location(tree.path("real")), location(tree.path("links")) });
    LogCapture log;

    const QStringList found = scanAndDescribe();
    EXPECT_EQ(
        found.filter(QRegularExpression("^doc a\\.pdf ")), QStringList { "doc a.pdf ~/real/inner/a.pdf" });
    EXPECT_EQ(found.filter(QRegularExpression("^doc b\\.pdf ")).size(), 1);
    EXPECT_EQ(found.filter(QRegularExpression("^fold ")).size(), 4); // real, inner, links, one of the two
    const QStringList lines = log.linesContaining("folders again that links lead to");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains("Not indexing 3 folders")) << lines[0].toStdString();
}

TEST_F(HostileTree, ALocationOnAVirtualFileSystemIsWalkedOnItAloneAndWithALimit)
{
    tree.symbolicLink("proc", "/proc");
    setLocations({ location(tree.path()), location("/proc/") });
    LogCapture log;

    const QStringList folders = pathsOfType(scanWithin(30), "fold");
    EXPECT_FALSE(folders.contains(tree.path("proc")));
    const QStringList inProc = folders.filter(QRegularExpression("^/proc/"));
    EXPECT_EQ(inProc.size(), folders.size() - 1);
    EXPECT_LE(inProc.size(), FolderVisits::virtualLocationLimit);
    EXPECT_EQ(log.linesContaining("folders on virtual file systems (proc)").size(), 1);
    EXPECT_EQ(log.linesContaining("of a location on a virtual file system").size(), 1);
}

TEST_F(HostileTree, FifosSocketsAndDeviceNodesAreNoItemsWhateverTheirNames)
{
    tree.file("real.pdf");
    tree.symbolicLink("linked.pdf", tree.path("real.pdf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(tree.path("pipe.pdf")).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(tree.path("pipe.desktop")).constData(), 0600), 0);
    tree.symbolicLink("to-pipe.pdf", tree.path("pipe.pdf"));
    tree.symbolicLink("null.txt", "/dev/null");
    tree.symbolicLink("dangling.pdf", tree.path("nothing.pdf"));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(tree.path("socket.pdf"));
    ASSERT_LT(socketPath.size(), qsizetype(sizeof address.sun_path));
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    EXPECT_EQ(describe(scanWithin(10)),
        (QStringList { "doc dangling.pdf ~/dangling.pdf", "doc linked.pdf ~/linked.pdf",
            "fold " + QDir(tree.path()).dirName() + " ~/", "doc real.pdf ~/real.pdf" }));
    ::close(listener);
}

TEST_F(HostileTree, AFolderThatCannotBeReadIsLoggedOncePerScan)
{
    tree.file("open/a.pdf");
    tree.folder("open/closed");
    ASSERT_EQ(::chmod(QFile::encodeName(tree.path("open/closed")).constData(), 0), 0);
    const WithoutReadingEveryFolder asAUser;
    if (::faccessat(AT_FDCWD, QFile::encodeName(tree.path("open/closed")).constData(), R_OK, AT_EACCESS) == 0)
        GTEST_SKIP() << "this user reads every folder";
    // Reached from two locations: still one line.
    setLocations({ location(tree.path("open")), location(tree.path()) });
    LogCapture log;

    const QStringList found = scanAndDescribe();
    EXPECT_TRUE(found.contains("fold closed ~/open/closed"));
    const QStringList lines = log.linesContaining("cannot be read");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(tree.path("open/closed"))) << lines[0].toStdString();
    ::chmod(QFile::encodeName(tree.path("open/closed")).constData(), 0700);
}
