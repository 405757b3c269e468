// A writer of the index, the history, the four lists and the settings killed with SIGKILL at
// random moments, a thousand times: after every kill each file reads as the whole old or the
// whole new version (byte for byte what the writer writes for it), and no temporary file outlives the next
// whole write of its file.

#include "crash/CrashFiles.h"

#include "platform/files/Folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <random>

namespace quorvel::crash {

namespace {

constexpr int kills = 1000;

// A temporary file left by a killed write must be gone after the next whole write of the same file.
constexpr bool leftoversRemovedByNextWrite = true;

// The files in the Preferences folder that are none of the files written: temporary files of
// interrupted writes and lock files of interrupted settings writes, each with its bytes. A lock
// file's name is always the same, but each process writes its own id into it: the same name with
// the same bytes is the same leftover.
QMap<QString, QByteArray> leftovers(const std::vector<CrashFile>& files)
{
    QMap<QString, QByteArray> found;
    const QDir folder(Folders::preferencesFolder());
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
        QFile file(folder.filePath(name));
        found.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    for (const CrashFile& file : files)
        found.remove(QFileInfo(file.path).fileName());
    return found;
}

// The name of the file whose write left a leftover behind (temporary names start with it).
const CrashFile* ownerOf(const QString& leftover, const std::vector<CrashFile>& files)
{
    for (const CrashFile& file : files) {
        if (leftover.contains(QFileInfo(file.path).fileName()))
            return &file;
    }
    return nullptr;
}

// The writer's next line, without its line feed; empty when it has none within ten seconds.
QByteArray nextLine(QProcess& writer)
{
    while (!writer.canReadLine()) {
        if (!writer.waitForReadyRead(10000))
            return {};
    }
    return writer.readLine().trimmed();
}

// Starts a writer from the given version and file, kills it after the delay, and answers the
// files it reported as written whole before it died.
QSet<QString> killWriterAfter(
    QProcess& writer, int firstVersion, int firstFile, std::chrono::microseconds delay)
{
    writer.write(QStringLiteral("run %1 %2\n").arg(firstVersion).arg(firstFile).toUtf8());
    QSet<QString> written;
    QByteArray answer = nextLine(writer);
    // The child starts writing as soon as it is forked, so its first reports may come before its
    // parent has said the child's number.
    for (; answer.startsWith("wrote "); answer = nextLine(writer))
        written.insert(QString::fromUtf8(answer.mid(6)));
    const pid_t child = answer.startsWith("child ") ? static_cast<pid_t>(answer.mid(6).toLong()) : 0;
    if (child <= 0) { // never a signal to a process group
        ADD_FAILURE() << "the writer did not start a child: " << answer.constData();
        return {};
    }
    QThread::usleep(static_cast<unsigned long>(delay.count()));
    ::kill(child, SIGKILL);
    for (QByteArray line = nextLine(writer); line != "ended"; line = nextLine(writer)) {
        if (line.isEmpty()) {
            ADD_FAILURE() << "the writer did not report its end";
            break;
        }
        if (line.startsWith("wrote "))
            written.insert(QString::fromUtf8(line.mid(6)));
    }
    return written;
}

} // namespace

TEST(CrashConsistency, EveryFileIsWholeAfterEveryKillOfItsWriter)
{
    const std::vector<CrashFile> files = crashFiles();
    QProcess writer;
    writer.start(QStringLiteral(QUORVEL_CRASH_WRITER), {});
    ASSERT_EQ(nextLine(writer), "ready");
    writer.write("once\n");
    for (QByteArray line = nextLine(writer); line != "done"; line = nextLine(writer))
        ASSERT_TRUE(line.startsWith("wrote ")) << "the first whole write failed";
    std::mt19937 random(20261208);
    // Each writer starts with another file, so that every file's write is interrupted; the
    // delay reaches over about two of them.
    std::uniform_int_distribution<int> delayMicroseconds(0, 40000);
    int survived = 0;
    int writesSeen = 0;
    int killsWithLeftovers = 0;
    int outlivedWrites = 0;
    QMap<QString, QByteArray> leftBefore;
    for (int attempt = 0; attempt < kills; ++attempt) {
        const QSet<QString> written = killWriterAfter(writer, attempt / 2,
            attempt % static_cast<int>(files.size()), std::chrono::microseconds(delayMicroseconds(random)));
        writesSeen += written.size();

        bool whole = true;
        for (std::size_t i = 0; i < files.size(); ++i) {
            QFile file(files[i].path);
            const QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            if (content != files[i].bytes[0] && content != files[i].bytes[1]) {
                ADD_FAILURE() << "kill " << attempt << ": " << qPrintable(files[i].name)
                              << " is neither version";
                whole = false;
            }
        }
        const QMap<QString, QByteArray> leftNow = leftovers(files);
        for (auto left = leftNow.constBegin(); left != leftNow.constEnd(); ++left) {
            const QString& leftover = left.key();
            const CrashFile* owner = ownerOf(leftover, files);
            if (leftBefore.value(leftover) != left.value() || !leftBefore.contains(leftover)
                || (owner && !written.contains(owner->name)))
                continue;
            ++outlivedWrites;
            if (leftoversRemovedByNextWrite)
                ADD_FAILURE() << "kill " << attempt << ": " << qPrintable(leftover)
                              << " outlived the next whole write of its file";
        }
        leftBefore = leftNow;
        killsWithLeftovers += leftNow.isEmpty() ? 0 : 1;
        survived += whole ? 1 : 0;
    }
    writer.closeWriteChannel();
    writer.waitForFinished();
    std::printf("kills survived: %d of %d (%d whole writes between kills; leftovers after %d kills, "
                "%d outlived the next write of their file)\n",
        survived, kills, writesSeen, killsWithLeftovers, outlivedWrites);
    EXPECT_EQ(survived, kills);
}

} // namespace quorvel::crash
