// The script runner for real: which processes a quit reaches, and which scripts it refuses.

#include "platform/desktop/ScriptRunner.h"

#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace quorvel;

namespace {

// A shell whose executable lies inside a bundle; it writes a file when it gets SIGTERM.
class BundledShell final {
public:
    BundledShell(const QTemporaryDir& dir, const QString& bundle, const QString& name)
        : marker(dir.filePath(bundle + ".terminated"))
    {
        const QString macOS = dir.filePath(bundle + "/Contents/MacOS");
        QDir().mkpath(macOS);
        const QString executable = macOS + "/" + name;
        QFile::copy("/bin/sh", executable);
        QFile(executable).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        process.setProgram(executable);
        process.setArguments(
            { "-c", "trap 'echo > \"$0\"; exit 0' TERM; while :; do sleep 0.05; done", marker });
        process.start();
        process.waitForStarted();
    }
    ~BundledShell()
    {
        process.kill();
        process.waitForFinished();
    }
    bool terminated() const { return QFile::exists(marker); }
    bool running() const { return process.state() == QProcess::Running; }

    QString marker;
    QProcess process;
};

} // namespace

TEST(ScriptRunner, AQuitReachesOnlyTheProcessesInsideTheNamedBundle)
{
    QTemporaryDir dir;
    BundledShell target(dir, "X.app", "X");
    BundledShell helper(dir, "X Helper.app", "X");
    BundledShell longer(dir, "XX.app", "X");
    BundledShell unbundled(dir, "X", "X.app");
    // Let each shell set its trap before anything is sent.
    QTest::qWait(200);

    EXPECT_TRUE(ScriptRunner::sharedScriptRunner().executeSource("tell application \"X\" to quit"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return target.terminated(); }, 3000));
    QTest::qWait(200);
    EXPECT_FALSE(helper.terminated());
    EXPECT_FALSE(longer.terminated());
    EXPECT_FALSE(unbundled.terminated());
    EXPECT_TRUE(helper.running() && longer.running() && unbundled.running());

    EXPECT_TRUE(ScriptRunner::sharedScriptRunner().executeSource(
        "tell application \"XX.app\"\nquit\nend tell\ntell application \"Finder\" to activate\n"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return longer.terminated(); }, 3000));
}

TEST(ScriptRunner, AScriptItDoesNotUnderstandIsRefusedBeforeAnyOfItRuns)
{
    QTemporaryDir dir;
    BundledShell target(dir, "Y.app", "Y");
    QTest::qWait(200);
    test::LogCapture log;
    for (const char* script : { "tell application \"Y\" to quit\ndo shell script \"rm -rf ~\"",
             "tell application \"Y\"\nquit", "tell application Y to quit", "delay soon" })
        EXPECT_FALSE(ScriptRunner::sharedScriptRunner().executeSource(script)) << script;
    QTest::qWait(200);
    EXPECT_FALSE(target.terminated());
    EXPECT_EQ(log.linesContaining("Script not understood").size(), 4);
}
