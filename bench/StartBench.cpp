// From the start of the process to the panel on the screen, as a user starts the launcher: the
// built bundle's executable, a fresh process each time, on a virtual display of the bench's own
// and inside a session bus of its own, in a scratch home that holds a 1,000,000-item index with
// its cache and a 10,000-path history, the companions installed and the login item registered as
// after a first start, so that every measured start is an ordinary one.
//
// Each run is timed from just before the fork to the moment the X server reports the program's
// top-level window mapped (MapNotify, seen through the root's substructure), and so is, in the
// same way and in turn with it, a minimal Qt Widgets program that shows one window, and the same
// program showing a window laid out around one line of text (which loads the desktop's fonts
// before the window is shown, as any window sized from its text does). First without a window
// manager, then with openbox (when it is installed). Medians and ROW lines at the end.
//
// Usage: StartBench [--display :61] [--runs 9] [--without-window-manager] [--keep] [--bundle PATH]
// --bundle starts the launcher of another build (another revision's) instead of this build's.
// --keep leaves the scratch folder (the home and the programs' log) in place and names it.

#include "MapWatcher.h"
#include "PanelSetUp.h"

#include "install/QRVLInstallationManager.h"
#include "platform/desktop/Bundle.h"
#include "platform/settings/SettingsKeys.h"
#include "platform/settings/UserDefaults.h"
#include "search/IndexFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quorvel;

namespace {

const char minimalPath[] = QUORVEL_MINIMAL_WINDOW;
const char busConfig[] = QUORVEL_SOURCE_DIR "/tests/support/session-bus.conf";
constexpr int mapTimeoutSeconds = 120;

struct Options {
    std::string display = ":61";
    int runs = 9;
    bool withWindowManager = true;
    bool keepScratch = false;
    std::string bundle = QUORVEL_BUILD_DIR "/Quorvel Launcher 2.app";
    std::string launcher() const { return bundle + "/Contents/MacOS/Quorvel Launcher 2"; }
};

Options optionsFrom(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--display" && i + 1 < argc)
            options.display = argv[++i];
        else if (argument == "--runs" && i + 1 < argc)
            options.runs = std::max(1, std::atoi(argv[++i]));
        else if (argument == "--without-window-manager")
            options.withWindowManager = false;
        else if (argument == "--keep")
            options.keepScratch = true;
        else if (argument == "--bundle" && i + 1 < argc)
            options.bundle = argv[++i];
    }
    return options;
}

// Starts a program with the bench's environment; its output goes to the log file when one is
// given, else nowhere; keepFd (if any) becomes its descriptor 3. posix_spawn, not fork: the bench
// holds the large index it wrote, and copying its page tables would count in every start.
// Answers the process id (0 when it could not be started).
pid_t spawn(const std::vector<std::string>& arguments, const std::string& log = "/dev/null", int keepFd = -1)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(
        &actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    if (keepFd >= 0 && keepFd != 3)
        posix_spawn_file_actions_adddup2(&actions, keepFd, 3);
    posix_spawn_file_actions_addclosefrom_np(&actions, keepFd >= 0 ? 4 : 3);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? 0 : pid;
}

// Asks the process to end (SIGTERM) and reaps it; one still there after ten seconds is killed.
void end(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 1000; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::string programPath(const char* name)
{
    const std::string path = "/usr/bin/" + std::string(name);
    return access(path.c_str(), X_OK) == 0 ? path : std::string();
}

// The processes the bench keeps up for the whole run, ended by their ids when it ends.
struct Session {
    pid_t bus = 0;
    pid_t display = 0;
    pid_t windowManager = 0;
    ~Session()
    {
        end(windowManager);
        end(display);
        end(bus);
    }
};

// A session bus as the tests have it; its address goes into the environment of what follows.
bool startBus(Session& session)
{
    int addressPipe[2];
    if (pipe(addressPipe) != 0)
        return false;
    session.bus = spawn({ programPath("dbus-daemon"), "--config-file=" + std::string(busConfig), "--nofork",
                            "--print-address=3" },
        "/dev/null", addressPipe[1]);
    close(addressPipe[1]);
    std::string address;
    char c = 0;
    while (read(addressPipe[0], &c, 1) == 1 && c != '\n')
        address += c;
    close(addressPipe[0]);
    if (address.empty())
        return false;
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    return true;
}

// Xvfb on the display asked for; answers the watcher once the server takes connections.
std::unique_ptr<bench::MapWatcher> startDisplay(Session& session, const std::string& display)
{
    session.display = spawn(
        { programPath("Xvfb"), display, "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset" });
    for (int i = 0; i < 3000; ++i) {
        auto watcher = std::make_unique<bench::MapWatcher>(display);
        if (watcher->isConnected())
            return watcher;
        if (waitpid(session.display, nullptr, WNOHANG) == session.display) {
            session.display = 0;
            return nullptr;
        }
        usleep(20000);
    }
    return nullptr;
}

bool startWindowManager(Session& session, bench::MapWatcher& watcher)
{
    const std::string openbox = programPath("openbox");
    if (openbox.empty())
        return false;
    session.windowManager = spawn({ openbox });
    for (int i = 0; i < 3000 && !watcher.windowManagerRuns(); ++i)
        usleep(20000);
    return watcher.windowManagerRuns();
}

// The user's files as a heavy user has them after the first start: the index with its cache, the
// history, a later start recorded, the companion pane installed and the login item registered.
void settleTheHome()
{
    bench::writeUserFiles(1000000, QStringLiteral("rep"), 0);
    IndexFile::read(_combinedListPath()); // writes the cache beside the index
    UserDefaults stored(Bundle::mainBundle().bundleIdentifier());
    stored.setInteger(SettingsKey::firstLaunchVersion, 2001);
    stored.synchronize();
    QRVLInstallationManager installation;
    installation.installPrefPane();
    installation.registerLoginItemWithPathAndHidden(Bundle::mainBundle().bundlePath(), true);
    malloc_trim(0); // the items written are gone; their memory goes back too
}

// One start, timed from just before the fork to the window's mapping; the program is ended before
// this answers. Nothing (negative) when no window came.
double timedStart(bench::MapWatcher& watcher, const std::vector<std::string>& command, const std::string& log)
{
    const char* program = command.front().c_str();
    watcher.forgetEarlierEvents();
    const std::int64_t before = bench::monotonicNanoseconds();
    const pid_t pid = spawn(command, log);
    const std::optional<std::int64_t> mapped = watcher.waitForMapOf(pid, mapTimeoutSeconds);
    end(pid);
    // The log says when each start began and when its window came, on the clock of the log's
    // other lines that read CLOCK_MONOTONIC, for a breakdown of the time between.
    if (FILE* file = std::fopen(log.c_str(), "a")) {
        std::fprintf(file, "START %s at %.6f, mapped at %.6f\n", program, double(before) / 1e9,
            mapped ? double(*mapped) / 1e9 : 0.0);
        std::fclose(file);
    }
    return mapped ? double(*mapped - before) / 1e6 : -1.0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string loadAverage()
{
    char text[64] = {};
    FILE* file = std::fopen("/proc/loadavg", "r");
    if (file) {
        if (!std::fgets(text, sizeof text, file))
            text[0] = 0;
        std::fclose(file);
    }
    std::string answer(text);
    return answer.substr(0, answer.find(' ', answer.find(' ', answer.find(' ') + 1) + 1));
}

// The ROW line of the launcher's median against a baseline's; a baseline without an aim is there
// for information.
void printRatio(const char* setting, const char* baselineName, double ours, double baseline, bool aimed)
{
    const double ratio = ours / baseline;
    const char* met = ratio <= 1.3 ? "yes" : "no";
    std::printf(
        "ROW\tstart to panel shown, 1M items, %s, vs %s (median ratio)\t%.2fx (%.0f ms vs %.0f ms)\t%s\t%s\n",
        setting, baselineName, ratio, ours, baseline, aimed ? "<= 1.3x" : "none", aimed ? met : "-");
}

// Takes the three programs in turn, the order changing every run; answers false when a start
// failed.
bool measure(bench::MapWatcher& watcher, const Options& options, const std::string& log, const char* setting)
{
    std::printf("load average before (%s): %s\n", setting, loadAverage().c_str());
    const std::vector<std::string> commands[]
        = { { options.launcher() }, { minimalPath }, { minimalPath, "--text" } };
    const char* names[] = { "launcher", "minimal", "minimal with text" };
    std::vector<double> times[3];
    for (int run = 0; run < options.runs; ++run) {
        for (int turn = 0; turn < 3; ++turn) {
            const int program = (run + turn) % 3;
            const double ms = timedStart(watcher, commands[program], log);
            if (ms < 0) {
                std::printf(
                    "%s: no window within %d s (see %s)\n", names[program], mapTimeoutSeconds, log.c_str());
                return false;
            }
            times[program].push_back(ms);
        }
        std::printf("run %d (%s): launcher %.1f ms, minimal %.1f ms, minimal with text %.1f ms\n", run + 1,
            setting, times[0].back(), times[1].back(), times[2].back());
        std::fflush(stdout);
    }
    const double ours = median(times[0]);
    std::printf("load average after (%s): %s\n", setting, loadAverage().c_str());
    printRatio(setting, "a minimal Qt program", ours, median(times[1]), true);
    printRatio(setting, "a minimal Qt program laid out around a line of text", ours, median(times[2]), false);
    std::fflush(stdout);
    return true;
}

// HOME and the XDG folders point into the scratch folder before anything reads them.
void useScratchHome(const QString& folder)
{
    const auto set = [&folder](const char* name, const char* below) {
        setenv(name, QFile::encodeName(folder + below).constData(), 1);
    };
    set("HOME", "/home");
    set("XDG_CONFIG_HOME", "/home/.config");
    set("XDG_DATA_HOME", "/home/.local/share");
    set("XDG_CACHE_HOME", "/home/.cache");
    set("XDG_STATE_HOME", "/home/.local/state");
    set("XDG_RUNTIME_DIR", "/runtime");
    QDir().mkpath(folder + "/home");
    mkdir(QFile::encodeName(folder + "/runtime").constData(), 0700);
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = optionsFrom(argc, argv);
    QTemporaryDir scratch;
    useScratchHome(scratch.path());
    if (options.keepScratch) {
        scratch.setAutoRemove(false);
        std::printf("scratch folder: %s\n", qPrintable(scratch.path()));
    }
    QCoreApplication application(argc, argv);
    Bundle::setMainBundlePath(QString::fromStdString(options.bundle));
    settleTheHome();

    Session session;
    if (!startBus(session)) {
        std::printf("no session bus could be started\n");
        return 1;
    }
    std::unique_ptr<bench::MapWatcher> watcher = startDisplay(session, options.display);
    if (!watcher) {
        std::printf("no display %s could be started (is it taken?)\n", options.display.c_str());
        return 1;
    }
    setenv("DISPLAY", options.display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    const std::string log = QFile::encodeName(scratch.path() + "/programs.log").toStdString();
    // A failed run keeps its scratch folder, for the programs' log.
    const auto failed = [&scratch] {
        scratch.setAutoRemove(false);
        return 1;
    };
    // The start after the first one, not measured: what a start leaves behind is then in place.
    if (timedStart(*watcher, { options.launcher() }, log) < 0) {
        std::printf("the launcher showed no window (see %s)\n", log.c_str());
        return failed();
    }
    if (!measure(*watcher, options, log, "no window manager"))
        return failed();
    if (!options.withWindowManager)
        return 0;
    if (!startWindowManager(session, *watcher)) {
        std::printf("openbox is not there or did not start: no figure with a window manager\n");
        return 0;
    }
    return measure(*watcher, options, log, "openbox") ? 0 : failed();
}
