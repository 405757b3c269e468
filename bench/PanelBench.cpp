// Keystroke latency of the real panel: an index in the scanner's order and a 10,000-path
// history, the panel summoned, then ten words typed letter by letter into the search field with
// QTest, in each matching mode. A keystroke is timed from the key event until the table, the
// item display and the result count are updated and the event loop has nothing left to do
// (painting included). Each round summons the panel again and types the ten words; the figures
// per round are p50, p99 and the worst keystroke, and the medians over the rounds are reported.
//
// Usage: PanelBench [--items=N,...] [--rounds=N] [--modes=M,...]
// (default: 100000 and 1000000 items, 5 rounds, modes 0 to 3)

#include "PanelSetUp.h"

#include "app/AppController.h"
#include "app/CustomWindow.h"
#include "app/MainInterface.h"
#include "platform/core/Clock.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"
#include "platform/settings/UserDefaults.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"
#include "search/UsageInformationManager.h"

#include "ui_MainInterface.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

using namespace quorvel;

namespace {

const char* const modeNames[] = { "prefix", "contains", "word", "wildcard" };
// Names a user looks for in the synthetic index: documents, folders, applications and panes.
const char* const words[] = { "report", "budget", "invoice", "firefox", "terminal", "holiday", "meeting",
    "thesis", "garden", "keyboard" };

// Counts every event the application delivers, so that "idle" can be told: a pass of the event
// loop that delivered nothing.
class EventCounter final : public QObject {
public:
    bool eventFilter(QObject*, QEvent*) override
    {
        ++count;
        return false;
    }
    std::size_t count = 0;
};

void runUntilIdle(const EventCounter& counter)
{
    for (;;) {
        const std::size_t before = counter.count;
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (counter.count == before)
            return;
    }
}

// The processor time this thread has used: on a machine shared with other work, the part of a
// keystroke's time that is the panel's own.
double threadMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * double(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Figures {
    double p50 = 0, p99 = 0, worst = 0;
};

struct Keystrokes {
    std::vector<double> wall, processor;
};

// One round: summon the panel in the mode, then type the ten words, each replacing the last.
Keystrokes typeWords(MainInterface& interface, int mode, const EventCounter& counter)
{
    AppController& controller = interface.controller();
    QLineEdit* field = interface.controls().combinedInputTextField;
    interface.controls().combinedMatchingModePopUp->setCurrentIndex(mode);
    controller.applicationDidResignActive(); // the dismissal before saves the mode
    controller.callbackWithNotification();
    runUntilIdle(counter);
    Keystrokes times;
    for (const char* word : words) {
        field->selectAll(); // as the panel comes up: the first letter replaces the old term
        for (const char* letter = word; *letter; ++letter) {
            const auto start = std::chrono::steady_clock::now();
            const double startProcessor = threadMilliseconds();
            QTest::keyClick(field, *letter);
            runUntilIdle(counter);
            times.processor.push_back(threadMilliseconds() - startProcessor);
            times.wall.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        if (field->text() != QString::fromLatin1(word))
            std::fprintf(stderr, "typing went astray: '%s'\n", qPrintable(field->text()));
    }
    return times;
}

// The medians over the rounds of each round's figures.
class RoundFigures final {
public:
    void add(const std::vector<double>& times)
    {
        p50s.push_back(percentile(times, 0.5));
        p99s.push_back(percentile(times, 0.99));
        worsts.push_back(*std::max_element(times.begin(), times.end()));
    }
    Figures medians() const { return { median(p50s), median(p99s), median(worsts) }; }

private:
    std::vector<double> p50s, p99s, worsts;
};

std::pair<Figures, Figures> measureMode(
    MainInterface& interface, int mode, int rounds, const EventCounter& counter)
{
    RoundFigures wall, processor;
    for (int round = 0; round < rounds; ++round) {
        const Keystrokes times = typeWords(interface, mode, counter);
        wall.add(times.wall);
        processor.add(times.processor);
    }
    return { wall.medians(), processor.medians() };
}

QString sizeName(std::size_t count)
{
    return count >= 1000000 && count % 1000000 == 0 ? QStringLiteral("%1M").arg(count / 1000000)
                                                    : QStringLiteral("%1k").arg(count / 1000);
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly)
        ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
        : QStringLiteral("unknown");
}

void printRow(const QString& figure, double measured, double aim)
{
    std::printf("ROW\t%s\t%.1f ms\t<= %.0f ms\t%s\n", qPrintable(figure), measured, aim,
        measured <= aim ? "yes" : "no");
}

void measureSize(std::size_t count, int rounds, const std::vector<int>& modes)
{
    bench::writeUserFiles(count, QString(), 0);
    std::unique_ptr<MainInterface> interface = MainInterface::load();
    interface->controller().applicationWillFinishLaunching();
    interface->controller().applicationDidFinishLaunching();
    if (!QTest::qWaitForWindowActive(&interface->window()))
        std::fprintf(stderr, "the panel did not become active\n");
    EventCounter counter;
    qApp->installEventFilter(&counter);
    const QString size = sizeName(count);
    std::printf("%s items, 10,000 launched paths, %d rounds of ten words (medians over rounds), load %s\n",
        qPrintable(size), rounds, qPrintable(loadAverage()));
    for (int mode : modes) {
        const auto [f, cpu] = measureMode(*interface, mode, rounds, counter);
        std::printf(
            "  %-8s keystroke p50 %6.2f ms  p99 %6.2f ms  worst %6.2f ms   (processor time: p50 %6.2f  "
            "p99 %6.2f  worst %6.2f ms)\n",
            modeNames[mode], f.p50, f.p99, f.worst, cpu.p50, cpu.p99, cpu.worst);
        if (count == 1000000) {
            const QString what = QStringLiteral("keystroke %2, 1M items, %1 mode").arg(modeNames[mode]);
            printRow(what.arg(QStringLiteral("p50")), f.p50, 8);
            printRow(what.arg(QStringLiteral("p99")), f.p99, 8);
            printRow(what.arg(QStringLiteral("worst")), f.worst, 16);
        }
        std::fflush(stdout);
    }
    qApp->removeEventFilter(&counter);
    interface->controller().applicationDidResignActive();
}

} // namespace

int main(int argc, char** argv)
{
    const bench::PanelSetUp setUp(argc, argv);

    std::vector<std::size_t> sizes = { 100000, 1000000 };
    int rounds = 5;
    std::vector<int> modes = { 0, 1, 2, 3 };
    for (const QString& argument : QCoreApplication::arguments().mid(1)) {
        if (argument.startsWith(QStringLiteral("--items="))) {
            sizes.clear();
            for (const QString& n : argument.mid(8).split(QLatin1Char(',')))
                sizes.push_back(n.toULongLong());
        } else if (argument.startsWith(QStringLiteral("--modes="))) {
            modes.clear();
            for (const QString& n : argument.mid(8).split(QLatin1Char(',')))
                modes.push_back(std::clamp(n.toInt(), 0, 3));
        } else if (argument.startsWith(QStringLiteral("--rounds="))) {
            rounds = std::max(1, argument.mid(9).toInt());
        }
    }
    for (std::size_t count : sizes)
        measureSize(count, rounds, modes);
    return 0;
}
