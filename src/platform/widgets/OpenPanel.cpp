#include "platform/widgets/OpenPanel.h"

#include "platform/core/ReplaceableInstance.h"
#include "platform/files/Folders.h"

#include <QFileDialog>
#include <QFileInfo>

namespace quorvel {

namespace {
ReplaceableInstance<OpenPanel> shared;
}

OpenPanel& OpenPanel::sharedOpenPanel()
{
    return shared.get();
}

void OpenPanel::setSharedOpenPanel(OpenPanel* panel)
{
    shared.replace(panel);
}

QString OpenPanel::startingFolder() const
{
    // The working folder Qt would start in is wherever the launcher was started from (often "/"
    // when the session started it), which means nothing to the user.
    return lastFolder.isEmpty() ? Folders::homeFolder() : lastFolder;
}

bool OpenPanel::runModal(Choose what)
{
    const QString start = startingFolder();
    mode = what;
    chosen.clear();
    QFileDialog dialog;
    dialog.setDirectory(start);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (what == Choose::Folders) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    chosen = dialog.selectedFiles().constFirst();
    lastFolder = directory();
    return true;
}

QString OpenPanel::directory() const
{
    if (chosen.isEmpty() || mode == Choose::Folders)
        return chosen;
    return QFileInfo(chosen).absolutePath();
}

} // namespace quorvel
