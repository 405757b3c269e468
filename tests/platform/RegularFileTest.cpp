// The system's files are read only when they are regular files (or links to one): a FIFO, a
// socket, a device or a link to one at the path is refused at once, never waited on, and logged
// once; the readers built on it go on as for an unreadable file.

#include "support/LogCapture.h"

#include "platform/files/Folders.h"
#include "platform/files/RegularFile.h"
#include "platform/files/UnreadableFile.h"
#include "platform/plist/PropertyList.h"

#include <QFile>
#include <cstring>
#include <future>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

QString homePath(const QString& name)
{
    return Folders::joinPath(Folders::homeFolder(), name);
}

QString makeFifo(const QString& name)
{
    const QString path = homePath(name);
    EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    return path;
}

// A bound socket at the path; the descriptor stays open for the test's life.
QString makeSocket(const QString& name)
{
    const QString path = homePath(name);
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    EXPECT_LT(std::size_t(encoded.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, encoded.constData(), std::size_t(encoded.size()));
    EXPECT_EQ(::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return path;
}

QString makeLink(const QString& name, const QString& target)
{
    const QString path = homePath(name);
    EXPECT_TRUE(QFile::link(target, path));
    return path;
}

// Runs the read on a thread of its own and answers whether it came back within a generous
// time (a hang, not a speed, is what this catches). A FIFO it hangs on is given a writer, so
// that the thread can end.
template <typename Read> bool answersInTime(Read read, const QString& fifo = {})
{
    std::future<void> done = std::async(std::launch::async, read);
    if (done.wait_for(std::chrono::seconds(20)) == std::future_status::ready)
        return true;
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer >= 0)
        ::close(writer);
    return false;
}

} // namespace

TEST(RegularFile, AFifoASocketADeviceAFolderAndLinksToThemAreRefusedAtOnceAndLoggedOncePerPath)
{
    const LogCapture log;
    const QString fifo = makeFifo(QStringLiteral("fifo"));
    const QStringList others = { fifo, makeSocket(QStringLiteral("socket")),
        makeLink(QStringLiteral("link to fifo"), fifo), QStringLiteral("/dev/null"), Folders::homeFolder() };
    for (const QString& path : others) {
        std::optional<QByteArray> bytes = QByteArray("unset");
        EXPECT_TRUE(answersInTime([&] { bytes = RegularFile::readAll(path); }, fifo)) << path.toStdString();
        EXPECT_FALSE(bytes.has_value()) << path.toStdString();
        EXPECT_FALSE(RegularFile::open(path).has_value()) << "asked again: " << path.toStdString();
        EXPECT_EQ(log.linesContaining(path + QStringLiteral(":")).size(), 1) << path.toStdString();
    }
    EXPECT_FALSE(RegularFile::readAll(homePath(QStringLiteral("missing"))).has_value());
    EXPECT_EQ(log.lines().size(), others.size()) << "a missing file is no news";
}

TEST(RegularFile, AFileALinkToOneAndAFileOfUnknownSizeAreReadWhole)
{
    const QByteArray contents = QByteArray(100000, 'x') + "end";
    const QString path = homePath(QStringLiteral("file"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    file.close();
    EXPECT_EQ(RegularFile::readAll(path), contents);
    EXPECT_EQ(RegularFile::readAll(makeLink(QStringLiteral("link"), path)), contents);
    const std::optional<QByteArray> status = RegularFile::readAll(QStringLiteral("/proc/self/status"));
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->contains("\nPid:")) << "read past the size of 0 that /proc gives";
}

TEST(RegularFile, TheReadersOfTheSystemsFilesTakeAFifoForAnUnreadableFileAndKeepNoCopyOfIt)
{
    const QString fifo = makeFifo(QStringLiteral("Quorvel Launcher History"));
    QVariant read = QStringLiteral("unset");
    bool readRecords = true;
    QString copy = QStringLiteral("unset");
    EXPECT_TRUE(answersInTime(
        [&] {
            read = PropertyList::readFile(fifo);
            readRecords
                = PropertyList::readStringRecords(fifo, { QStringLiteral("name") }, [](auto, auto) {});
            copy = UnreadableFile::keepCopy(fifo);
        },
        fifo));
    EXPECT_FALSE(read.isValid());
    EXPECT_FALSE(readRecords);
    EXPECT_EQ(copy, QString());
    EXPECT_FALSE(QFile::exists(fifo + QStringLiteral(".unreadable")));
}
