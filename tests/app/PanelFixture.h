#pragma once
// A launcher started as the real one starts, offscreen: an index and a history in the temporary
// home, a recording workspace, alert, child-process and script runner, the clock fixed, the main
// interface loaded and both launch notifications delivered. What the first-launch assistant
// showed and opened while starting is kept apart, so that the recordings start empty.

#include "app/AppController.h"
#include "app/MainInterface.h"
#include "support/FakeAlert.h"
#include "support/FakeScriptRunner.h"
#include "support/FakeTask.h"
#include "support/FakeWorkspace.h"
#include "support/IndexFiles.h"

#include <QVariantList>
#include <gtest/gtest.h>
#include <memory>

namespace quorvel::test {

class PanelFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the index file as the scanner writes it.
    static void writeIndex(const std::vector<LaunchItem>& items) { test::writeIndex(items); }
    static QVariantMap storedSettings();
    // Start-up reads the index in the background; start waits until it has been read.
    void start();
    // Runs the event loop until the background read of the index (if any) has been swapped in.
    void waitForIndex();
    // The application is deactivated and summoned again by the wake-up notification.
    void summonAgain();
    void type(const QString& text);
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    AppController& controller() const { return interface->controller(); }
    Ui::MainInterface& controls() const { return interface->controls(); }
    // The names in the match table (none before it has been given its first list).
    QStringList shownNames() const;
    int selectedRow() const;

    FakeWorkspace workspace;
    FakeAlert alert;
    FakeTask tasks;
    FakeScriptRunner scripts;
    std::vector<FakeAlert::Shown> startAlerts;
    std::vector<FakeWorkspace::Call> startOpened;
    std::unique_ptr<MainInterface> interface;
};

} // namespace quorvel::test
