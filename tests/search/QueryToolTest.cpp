#include "SearchTestSupport.h"
#include "support/FileBytes.h"
#include "support/IndexFiles.h"

#include "MatchOutput.h"
#include "platform/core/Clock.h"
#include "platform/files/FileIdentity.h"
#include "search/IndexCache.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <unistd.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Root reads any file whatever its mode; without these capabilities it is held to the modes
// as any user is (setpriv takes them out of what the tool may ever have).
const QStringList asAnyUser = { "setpriv", "--bounding-set=-dac_override,-dac_read_search", "--" };

ToolRun query(const QStringList& arguments, const QStringList& wrapper = {})
{
    QProcess process;
    const QString tool = QStringLiteral(QUORVEL_BUILD_DIR "/quorvel-query");
    if (wrapper.isEmpty())
        process.start(tool, arguments);
    else
        process.start(wrapper.first(), wrapper.mid(1) + QStringList { tool } + arguments);
    ToolRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

TEST(QueryTool, PrintsTheRankedMatchesOfTheUsersIndexAndHistory)
{
    writeIndex({ { "Mail", "app", "/apps/Mail" }, { "Maildir", "fold", "/home/u/Maildir" },
        { "mail\tmerge of\r8\t", "doc", "/d/mail merge\nof 8" }, { "Old Mail", "doc", "/d/Old Mail" } });
    const double now = Clock::absoluteTime();
    writeHistory({ { "/d/Old Mail", launchTimes({ now - 30 }) } });

    ToolRun run = query({ "mail" });
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out,
        "Mail\tapp\t/apps/Mail\nMaildir\tfold\t/home/u/Maildir\nmail merge of 8 \tdoc\t/d/mail merge of 8\n")
        << "prefix mode by default; a tab or line break inside a field becomes a space";

    run = query({ "--mode", "word", "MAIL" });
    EXPECT_EQ(run.out.section('\n', 0, 0), "Old Mail\tdoc\t/d/Old Mail") << "the launched item first";
    EXPECT_EQ(run.out.count('\n'), 4);
    EXPECT_EQ(query({ "--mode=contains", "--count", "ail" }).out, "4 Matching Items.\n");
    EXPECT_EQ(query({ "--count", "--mode", "wildcard", "m*l" }).out, "3 Matching Items.\n");
    EXPECT_EQ(query({ "--count", "Old" }).out, "Single Match.\n");

    run = query({ "nothing" });
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "") << "no output when nothing matches";
    run = query({ "--count", "nothing" });
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "No Match.\n");
    EXPECT_EQ(query({ "--", "--count" }).exitCode, 0) << "a term that looks like an option";
}

TEST(QueryTool, AnswersAlikeForAnAccentStoredComposedOrAsLetterAndMark)
{
    const QString decomposed = QStringLiteral("Cafe\u0301");
    writeIndex({ { QStringLiteral("Caf\u00E9"), "app", "/apps/one" }, { decomposed, "doc", "/d/two" } });
    EXPECT_EQ(query({ "--count", QStringLiteral("caf\u00E9") }).out, "2 Matching Items.\n");
    EXPECT_EQ(query({ "--count", QStringLiteral("cafe\u0301") }).out, "2 Matching Items.\n");
    EXPECT_EQ(query({ "--count", "cafe" }).out, "No Match.\n");
    EXPECT_TRUE(query({ "--mode", "contains", QStringLiteral("\u00C9") }).out.contains(decomposed + "\tdoc"))
        << "printed as the index holds it";
}

TEST(QueryTool, RejectsBadArgumentsWithAUsageLineAndAMissingIndexWithAMessage)
{
    writeIndex({ { "Mail", "app", "/apps/Mail" } });
    for (const QStringList& arguments : { QStringList {}, QStringList { "--mode", "fuzzy", "x" },
             QStringList { "--mode" }, QStringList { "a", "b" }, QStringList { "--verbose", "x" } }) {
        const ToolRun run = query(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("usage: quorvel-query")) << run.err.toStdString();
        EXPECT_EQ(run.out, "");
    }
    QFile::remove(_combinedListPath());
    const ToolRun run = query({ "mail" });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("no index")) << run.err.toStdString();
}

TEST(QueryTool, AnswersHelpAndVersionWithZeroAndAnUnreadableIndexLikeAMissingOne)
{
    for (const char* option : { "--help", "--version" }) {
        const ToolRun run = query({ option });
        EXPECT_EQ(run.exitCode, 0) << option;
        EXPECT_TRUE(run.out.contains("quorvel-query")) << run.out.toStdString();
    }
    QFile damaged(_combinedListPath());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("<plist><array><dict><key>name</key><string>Mail</string>");
    damaged.close();
    const ToolRun run = query({ "mail" });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.contains("could not be read")) << run.err.toStdString();
}

TEST(QueryTool, AnswersTheSameWithAndWithoutTheIndexCache)
{
    QRandomGenerator random(7);
    const QStringList words = { "Report", "rep", "Café", "Straße", "e", "E\te", "x y", "\U0001D11E" };
    const QStringList types = { "app", "doc", "fold", "pref", "odd" };
    for (int round = 0; round < 4; ++round) {
        std::vector<LaunchItem> items;
        QVariantMap history;
        for (int i = random.bounded(50, 300); i > 0; --i) {
            QString name;
            for (int k = random.bounded(1, 4); k > 0; --k)
                name += words[random.bounded(words.size())] + " ";
            const QString path = QStringLiteral("/d/%1/%2").arg(i).arg(name);
            items.push_back({ name, types[random.bounded(types.size())], path });
            if (random.bounded(5) == 0)
                history.insert(path, launchTimes({ Clock::absoluteTime() - random.bounded(100000) }));
        }
        writeIndex(items);
        writeHistory(history);
        const QString cache = IndexCache::cachePathFor(_combinedListPath());
        QFile::remove(cache);
        for (const QStringList& arguments : { QStringList { "--mode", "contains", "rep" },
                 QStringList { "--mode", "contains", "e" }, QStringList { "--mode", "word", "x" },
                 QStringList { "--mode", "wildcard", "*\U0001D11E" } }) {
            const ToolRun fromIndex = query(arguments);
            ASSERT_TRUE(QFile::exists(cache)) << "the first run writes the cache";
            const ToolRun fromCache = query(arguments);
            EXPECT_EQ(fromIndex.exitCode, 0);
            EXPECT_FALSE(fromIndex.out.isEmpty()) << arguments.join(' ').toStdString();
            EXPECT_EQ(fromCache.out, fromIndex.out) << arguments.join(' ').toStdString();
            QFile::remove(cache);
        }
    }
}

// A cache the user cannot read (mode 000) would be parsed around by every query and, replaced
// with its own mode, stay unreadable: it is replaced once, said so, and used from then on.
TEST(QueryTool, AnUnreadableCacheIsReplacedOnceByOneTheNextQueryUses)
{
    const QStringList wrapper = ::geteuid() == 0 ? asAnyUser : QStringList {};
    if (!wrapper.isEmpty() && QStandardPaths::findExecutable("setpriv").isEmpty())
        GTEST_SKIP() << "running as root without setpriv: every file reads";
    writeIndex({ { "Mail", "app", "/apps/Mail" }, { "Maps", "app", "/apps/Maps" } });
    ASSERT_EQ(query({ "--count", "ma" }).out, "2 Matching Items.\n");
    const QString cache = IndexCache::cachePathFor(_combinedListPath());
    ASSERT_TRUE(QFile::setPermissions(cache, {}));

    ToolRun run = query({ "ma" }, wrapper);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "Mail\tapp\t/apps/Mail\nMaps\tapp\t/apps/Maps\n");
    EXPECT_EQ(run.err.count(cache), 1) << run.err.toStdString();
    const std::optional<FileIdentity> replaced = FileIdentity::ofFile(cache);

    run = query({ "ma" }, wrapper);
    EXPECT_EQ(run.out, "Mail\tapp\t/apps/Mail\nMaps\tapp\t/apps/Maps\n");
    EXPECT_EQ(run.err, "") << "nothing more to say";
    EXPECT_EQ(FileIdentity::ofFile(cache), replaced) << "the cache was read, not made again";
}

namespace {

QByteArray queryBytes(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(QUORVEL_BUILD_DIR "/quorvel-query"), arguments);
    process.waitForFinished(60000);
    return process.readAllStandardOutput();
}

// The items as "name|type|path" triples in path order, so that two lists compare whole.
QStringList triples(const std::vector<LaunchItem>& items)
{
    QStringList out;
    for (const LaunchItem& item : items)
        out.append(QStringList { item.name, item.type, item.path }.join(QChar(0x2016)));
    std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
        return a.section(QChar(0x2016), 2) < b.section(QChar(0x2016), 2);
    });
    return out;
}

QStringList triplesOfTheIndex()
{
    std::vector<LaunchItem> items;
    EXPECT_TRUE(IndexFile::readItems(_combinedListPath(), items));
    return triples(items);
}

} // namespace

TEST(QueryTool, NullAndJsonOutputGiveBackEveryFieldAsTheIndexHoldsIt)
{
    writeIndex({ { "Tab\there", "doc", "/d/Tab\there" }, { "Lab\nbreak \"quoted\"", "app", "/d/a\\b\n" },
        { "Tab \\ \u00e9\U0001D11E \x01", "fold", "/d/\"q\"/\r" }, { "Tabby", "pref", "/d/plain" } });
    const QStringList stored = triplesOfTheIndex();

    const QList<QByteArray> fields = queryBytes({ "--null", "--mode", "contains", "ab" }).split('\0');
    ASSERT_EQ(fields.size(), 13) << "three fields per match, each followed by a NUL";
    std::vector<LaunchItem> fromNull;
    for (qsizetype i = 0; i + 2 < fields.size(); i += 3)
        fromNull.push_back({ QString::fromUtf8(fields[i]), QString::fromUtf8(fields[i + 1]),
            QString::fromUtf8(fields[i + 2]) });
    EXPECT_EQ(triples(fromNull), stored);

    const QList<QByteArray> lines = queryBytes({ "--json", "--mode", "contains", "ab" }).split('\n');
    ASSERT_EQ(lines.size(), 5) << "one object per line";
    std::vector<LaunchItem> fromJson;
    for (const QByteArray& line : lines.mid(0, 4)) {
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        EXPECT_EQ(object.keys(), QStringList({ "name", "path", "type" }));
        fromJson.push_back(
            { object["name"].toString(), object["type"].toString(), object["path"].toString() });
    }
    EXPECT_EQ(triples(fromJson), stored);
    EXPECT_EQ(
        queryBytes({ "--json", "Tabby" }), "{\"name\":\"Tabby\",\"type\":\"pref\",\"path\":\"/d/plain\"}\n");
    EXPECT_EQ(query({ "--null", "--json", "x" }).exitCode, 2);
    EXPECT_EQ(query({ "--count", "-0", "x" }).exitCode, 2);
}

TEST(QueryTool, WritesBytesThatAreNotUtf8AsReplacementCharactersInJson)
{
    const auto json = [](const std::string& bytes) {
        std::string out;
        MatchOutput::appendJsonString(out, bytes);
        return out;
    };
    EXPECT_EQ(json("a\xff"
                   "b"),
        "\"a\\ufffdb\"");
    EXPECT_EQ(json("\xc3"), "\"\\ufffd\"") << "a sequence cut short";
    EXPECT_EQ(json("\xc0\xaf"), "\"\\ufffd\\ufffd\"") << "an overlong '/'";
    EXPECT_EQ(json("\xed\xa0\x80"), "\"\\ufffd\\ufffd\\ufffd\"") << "a surrogate";
    EXPECT_EQ(json("\xf4\x90\x80\x80"), "\"\\ufffd\\ufffd\\ufffd\\ufffd\"") << "above U+10FFFF";
    EXPECT_EQ(json("\xc3\xa9\xf0\x9d\x84\x9e\x7f"), "\"\xc3\xa9\xf0\x9d\x84\x9e\x7f\"")
        << "well-formed stays";
    const std::string parsed
        = QJsonDocument::fromJson(QByteArray::fromStdString("[" + json("x\x80\x1f\"\\") + "]"))
              .array()
              .at(0)
              .toString()
              .toStdString();
    EXPECT_EQ(parsed, "x\xef\xbf\xbd\x1f\"\\");
}

namespace {

// Puts a FIFO, a bound socket or a link to a FIFO at path, in place of what was there.
void plantAt(const QString& path, const QString& kind)
{
    QFile::remove(path);
    const QByteArray encoded = QFile::encodeName(path);
    if (kind == "fifo") {
        ASSERT_EQ(::mkfifo(encoded.constData(), 0600), 0);
    } else if (kind == "socket") {
        const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        ASSERT_LT(std::size_t(encoded.size()), sizeof address.sun_path);
        std::memcpy(address.sun_path, encoded.constData(), std::size_t(encoded.size()));
        ASSERT_EQ(::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(descriptor); // the socket stays at the path
    } else {
        const QString fifo = path + QStringLiteral(" fifo");
        QFile::remove(fifo);
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        ASSERT_TRUE(QFile::link(fifo, path));
    }
}

} // namespace

TEST(QueryTool, AFifoASocketOrALinkToAFifoAtTheIndexOrItsCacheIsAnsweredAtOnce)
{
    // query() waits a minute of the clock: far past an answer, it only catches a tool that hangs.
    const std::vector<LaunchItem> items
        = { { "Mail", "app", "/apps/Mail" }, { "Maps", "app", "/apps/Maps" } };
    for (const QString kind : { "fifo", "socket", "link to fifo" }) {
        writeIndex(items);
        plantAt(IndexCache::cachePathFor(_combinedListPath()), kind);
        ToolRun run = query({ "--count", "ma" });
        EXPECT_EQ(run.exitCode, 0) << kind.toStdString() << " as the cache: " << run.err.toStdString();
        EXPECT_EQ(run.out, "2 Matching Items.\n") << kind.toStdString() << " as the cache";

        plantAt(_combinedListPath(), kind);
        run = query({ "--count", "ma" });
        EXPECT_EQ(run.exitCode, 1) << kind.toStdString() << " as the index";
        EXPECT_TRUE(run.err.contains("could not be read")) << run.err.toStdString();
    }
}

TEST(QueryTool, ACacheTruncatedAndRewrittenInPlaceWhileQueriesRunNeverEndsOne)
{
    std::vector<LaunchItem> items;
    for (int i = 0; i < 50000; ++i)
        items.push_back({ QStringLiteral("Report %1").arg(i), "doc", QStringLiteral("/d/%1").arg(i) });
    writeIndex(items);
    ASSERT_EQ(query({ "--count", "report 1" }).out, "11111 Matching Items.\n") << "writes the cache";
    const QString cachePath = IndexCache::cachePathFor(_combinedListPath());
    const QByteArray good = readBytes(cachePath);

    // In place (whichever file is at the path: a query that refused it wrote a new one): good
    // bytes back, the image overwritten, the file cut short.
    std::atomic<bool> querying = true;
    std::thread changer([&] {
        const QByteArray overwritten = good.left(96) + QByteArray(good.size() - 96, '\xFF');
        for (int round = 0; querying; ++round) {
            QFile cache(cachePath);
            if (!cache.open(QIODevice::ReadWrite))
                continue;
            cache.resize(round % 3 == 2 ? 100 : good.size());
            if (round % 3 != 2)
                cache.write(round % 3 == 1 ? overwritten : good);
            std::this_thread::yield(); // the queries need the processor more
        }
    });
    for (int run = 0; run < 8; ++run) {
        const ToolRun result = query({ "--count", "report 1" });
        EXPECT_EQ(result.exitCode, 0)
            << "run " << run << " ended by a signal or failed: " << result.err.toStdString();
        EXPECT_EQ(result.out, "11111 Matching Items.\n") << "run " << run;
    }
    querying = false;
    changer.join();
}
