#pragma once
// What the panel benchmarks share: the process of a launcher in a temporary home, offscreen, with
// the built bundle's resources, whose desktop services answer at once and do nothing (start-up
// runs the first-launch assistant: its alerts are answered, nothing is installed, run or opened);
// and the user's files as a scan and a heavy user leave them.

#include "search/LaunchItem.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstddef>
#include <memory>
#include <vector>

namespace quorvel::bench {

class PanelSetUp final {
public:
    PanelSetUp(int& argc, char** argv);
    ~PanelSetUp();
    PanelSetUp(const PanelSetUp&) = delete;
    PanelSetUp& operator=(const PanelSetUp&) = delete;

private:
    struct QuietServices;

    // HOME points into it before the application object is made.
    struct Home {
        Home();
        QTemporaryDir folder;
    };

    Home home;
    QApplication application;
    std::unique_ptr<QuietServices> services;
};

// Writes the index of count synthetic items in the scanner's order, a history of 10,000 of their
// paths launched 50 times each, and the remembered term and matching mode; answers the items as
// the index holds them.
std::vector<LaunchItem> writeUserFiles(std::size_t count, const QString& term, int mode);

} // namespace quorvel::bench
