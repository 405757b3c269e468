#include "platform/widgets/OpenPanel.h"

#include "platform/core/ReplaceableInstance.h"

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

bool OpenPanel::runModal(Choose what)
{
    mode = what;
    chosen.clear();
    QFileDialog dialog;
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
    return true;
}

QString OpenPanel::directory() const
{
    if (chosen.isEmpty() || mode == Choose::Folders)
        return chosen;
    return QFileInfo(chosen).absolutePath();
}

} // namespace quorvel
