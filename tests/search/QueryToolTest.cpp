#include "SearchTestSupport.h"
#include "support/IndexFiles.h"

#include "platform/core/Clock.h"
#include "search/IndexCache.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun query(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(QUORVEL_BUILD_DIR "/quorvel-query"), arguments);
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
        { "mail\tmerge", "doc", "/d/mail merge" }, { "Old Mail", "doc", "/d/Old Mail" } });
    const double now = Clock::absoluteTime();
    writeHistory({ { "/d/Old Mail", launchTimes({ now - 30 }) } });

    ToolRun run = query({ "mail" });
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(
        run.out, "Mail\tapp\t/apps/Mail\nMaildir\tfold\t/home/u/Maildir\nmail merge\tdoc\t/d/mail merge\n")
        << "prefix mode by default; a tab inside a field becomes a space";

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
