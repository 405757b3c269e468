#include "platform/desktop/ScriptRunner.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/core/ReplaceableInstance.h"
#include "platform/files/RegularFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

ReplaceableInstance<ScriptRunner> shared;

// An application asked to quit gets this long to go before the script goes on, as the platform
// waits for the application's answer to its quit event.
constexpr int quitWaitMilliseconds = 2000;

struct Step {
    enum class Kind { Quit, Activate, Delay };
    Kind kind;
    QString application;
    double seconds = 0;
};

// ---- Reading the script ----

const QString quotedName = QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\"");

QString unescaped(const QString& name)
{
    static const QRegularExpression escape(QStringLiteral("\\\\(.)"));
    QString result = name;
    return result.replace(escape, QStringLiteral("\\1"));
}

std::optional<Step> command(const QString& word, const QString& application)
{
    if (word == QLatin1String("quit"))
        return Step { Step::Kind::Quit, application };
    if (word == QLatin1String("activate"))
        return Step { Step::Kind::Activate, application };
    return std::nullopt;
}

std::optional<Step> delay(const QString& line)
{
    static const QRegularExpression form(QStringLiteral("^delay\\s+(\\d+(?:\\.\\d+)?)$"));
    const QRegularExpressionMatch match = form.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    return Step { Step::Kind::Delay, {}, match.captured(1).toDouble() };
}

std::optional<std::vector<Step>> parse(const QString& source)
{
    static const QRegularExpression tellTo(
        QStringLiteral("^tell\\s+application\\s+%1\\s+to\\s+(\\w+)$").arg(quotedName));
    static const QRegularExpression tellBlock(QStringLiteral("^tell\\s+application\\s+%1$").arg(quotedName));
    std::vector<Step> steps;
    std::optional<QString> block; // the application of the open tell block
    for (const QString& rawLine : source.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty())
            continue;
        std::optional<Step> step;
        if (const QRegularExpressionMatch match = tellTo.match(line); match.hasMatch() && !block) {
            step = command(match.captured(2), unescaped(match.captured(1)));
        } else if (const QRegularExpressionMatch open = tellBlock.match(line); open.hasMatch() && !block) {
            block = unescaped(open.captured(1));
            continue;
        } else if (line == QLatin1String("end tell") && block) {
            block.reset();
            continue;
        } else if (block) {
            step = line.startsWith(QLatin1String("delay")) ? delay(line) : command(line, *block);
        } else {
            step = delay(line);
        }
        if (!step)
            return std::nullopt;
        steps.push_back(*step);
    }
    if (block)
        return std::nullopt;
    return steps;
}

// ---- Quitting the processes of a bundle ----

QString executableOfProcess(const QString& processFolder)
{
    QString target = QFile::symLinkTarget(processFolder + QStringLiteral("/exe"));
    // A program whose file was replaced or removed since it started (an uninstalled copy).
    const QString deleted = QStringLiteral(" (deleted)");
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    return target;
}

// An application is named with or without its ".app"; a folder without a bundle's extension is
// no application.
bool liesInsideBundleNamed(const QString& executable, const QString& name)
{
    const bool hasExtension
        = name.endsWith(QLatin1String(".app")) || name.endsWith(QLatin1String(".prefPane"));
    const QString bundle = hasExtension ? name : name + QStringLiteral(".app");
    return executable.contains(QLatin1Char('/') + bundle + QStringLiteral("/Contents/"));
}

// This user's processes, this one excepted, whose executable lies inside a bundle of that name.
std::vector<pid_t> processesOfBundleNamed(const QString& name)
{
    std::vector<pid_t> found;
    const uid_t user = ::getuid();
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const pid_t pid = static_cast<pid_t>(entry.toInt(&numeric));
        if (!numeric || pid == ::getpid())
            continue;
        const QString folder = proc.filePath(entry);
        struct stat info { };
        if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || info.st_uid != user)
            continue;
        if (liesInsideBundleNamed(executableOfProcess(folder), name))
            found.push_back(pid);
    }
    return found;
}

// Gone, or ended and waiting for its parent to collect it.
bool hasEnded(pid_t pid)
{
    const std::optional<QByteArray> stat = RegularFile::readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat)
        return true;
    const QByteArray& line = *stat;
    const qsizetype afterName = line.lastIndexOf(')');
    return afterName < 0 || line.mid(afterName + 2, 1) == "Z";
}

void quitApplication(const QString& name)
{
    const std::vector<pid_t> processes = processesOfBundleNamed(name);
    for (const pid_t pid : processes)
        ::kill(pid, SIGTERM);
    QElapsedTimer waited;
    waited.start();
    for (const pid_t pid : processes)
        while (!hasEnded(pid) && waited.elapsed() < quitWaitMilliseconds)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void run(const Step& step)
{
    switch (step.kind) {
    case Step::Kind::Quit:
        quitApplication(step.application);
        return;
    case Step::Kind::Activate:
        Log::line(platformLog(),
            QStringLiteral("Activating \"%1\": nothing to do on this platform").arg(step.application));
        return;
    case Step::Kind::Delay:
        std::this_thread::sleep_for(std::chrono::duration<double>(step.seconds));
        return;
    }
}

} // namespace

ScriptRunner& ScriptRunner::sharedScriptRunner()
{
    return shared.get();
}

void ScriptRunner::setSharedScriptRunner(ScriptRunner* runner)
{
    shared.replace(runner);
}

bool ScriptRunner::executeSource(const QString& source)
{
    const std::optional<std::vector<Step>> steps = parse(source);
    if (!steps) {
        Log::line(platformLog(), QStringLiteral("Script not understood, not run: %1").arg(source));
        return false;
    }
    for (const Step& step : *steps)
        run(step);
    return true;
}

} // namespace quorvel
