#include "platform/widgets/OpenPanel.h"

#include "platform/files/Folders.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// Once the panel's dialog is up, notes the folder it shows and cancels it.
void cancelWhenShown(QString& shownFolder)
{
    QTimer::singleShot(50, [&shownFolder] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            cancelWhenShown(shownFolder);
            return;
        }
        shownFolder = dialog->directory().absolutePath();
        dialog->reject();
    });
}

} // namespace

TEST(OpenPanel, OpensInTheHomeFolderNotWhereTheLauncherWasStarted)
{
    QTemporaryDir elsewhere;
    const QString workingFolder = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    OpenPanel& panel = OpenPanel::sharedOpenPanel();
    for (const OpenPanel::Choose what : { OpenPanel::Choose::Files, OpenPanel::Choose::Folders }) {
        QString shown;
        cancelWhenShown(shown);
        EXPECT_FALSE(panel.runModal(what));
        EXPECT_EQ(shown, QDir(Folders::homeFolder()).absolutePath());
        EXPECT_EQ(panel.filename(), "");
    }
    QDir::setCurrent(workingFolder);
}
