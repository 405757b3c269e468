#include "platform/widgets/OpenPanel.h"

#include <QFileDialog>
#include <QFileInfo>

#include <atomic>

namespace quorvel {

namespace {
std::atomic<OpenPanel*> replacement { nullptr };
}

OpenPanel& OpenPanel::sharedOpenPanel()
{
    static OpenPanel real;
    if (OpenPanel* panel = replacement.load())
        return *panel;
    return real;
}

void OpenPanel::setSharedOpenPanel(OpenPanel* panel)
{
    replacement.store(panel);
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
