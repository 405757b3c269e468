#include "platform/widgets/OpenPanel.h"

#include "platform/files/Folders.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// Once the panel's dialog is up, notes the folder it shows and chooses path in it (or cancels).
void answerWhenShown(const QString& path, QString& shownFolder)
{
    QTimer::singleShot(50, [path, &shownFolder] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            answerWhenShown(path, shownFolder);
            return;
        }
        shownFolder = dialog->directory().absolutePath();
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept(); // the file dialog's own accept, which is protected
    });
}

} // namespace

TEST(OpenPanel, OpensInTheHomeFolderAndThenWhereTheLastChoiceWas)
{
    QTemporaryDir elsewhere;
    const QString workingFolder = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path())) << "the launcher started from some other folder";
    const QString reports = QDir(Folders::homeFolder()).filePath("Reports");
    ASSERT_TRUE(QDir().mkpath(reports));
    QFile file(reports + "/Plan.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    OpenPanel& panel = OpenPanel::sharedOpenPanel();
    QString shown;
    answerWhenShown(reports + "/Plan.txt", shown);
    EXPECT_TRUE(panel.runModal(OpenPanel::Choose::Files));
    EXPECT_EQ(shown, QDir(Folders::homeFolder()).absolutePath());
    EXPECT_EQ(panel.filename(), reports + "/Plan.txt");

    answerWhenShown(QString(), shown);
    EXPECT_FALSE(panel.runModal(OpenPanel::Choose::Folders));
    EXPECT_EQ(shown, reports);
    EXPECT_EQ(panel.filename(), "");
    QDir::setCurrent(workingFolder);
}
