// The combined list and the index file behind it: a fresh list each time the panel is prepared,
// the file read in the background when it changed, the scanner's new index taken in memory, and
// a scan when the file cannot be read.

#include "app/AppController.h"

#include "app/BackgroundIndexRead.h"
#include "app/CombinedListModel.h"
#include "app/CustomWindow.h"
#include "index/FileList.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"

namespace quorvel {

void AppController::refreshListDisplay()
{
    loadCombinedList();
    interactiveList[0] = interactiveCombinedList.get();
    if (tableModel)
        tableModel->setList(interactiveCombinedList.get());
}

void AppController::loadCombinedList()
{
    std::shared_ptr<const LaunchItemTable> replaced
        = interactiveCombinedList ? interactiveCombinedList->sharedItems() : nullptr;
    interactiveCombinedList = std::make_unique<InteractiveCombinedList>();
    if (!interactiveCombinedList->loadWithoutReading())
        indexRead->read(interactiveCombinedList->getFilePath(),
            [this](const QString& path, const std::optional<FileIdentity>& before,
                std::shared_ptr<const LaunchItemTable> table) {
                InteractiveList::keepTableOfFile(path, before, std::move(table));
                indexWasRead();
            });
    else if (!interactiveCombinedList->interactiveListFileIsUnreadable())
        fileList->recallLastCompletedScan(); // the status line says when the index was made
    scanIfIndexIsUnreadable();
    // The items the list had before, once a scan or another process replaced them, are not the
    // main thread's to free between the summons and the panel's first frame.
    if (replaced && replaced.get() != &interactiveCombinedList->items())
        releaseElsewhere(std::move(replaced));
}

void AppController::releaseElsewhere(std::shared_ptr<const LaunchItemTable> table)
{
    if (tableRelease.joinable())
        tableRelease.join(); // the one before finished long ago
    tableRelease = std::thread([table = std::move(table)]() mutable { table.reset(); });
}

void AppController::indexWasRead()
{
    // As after a scan, the list shows the new items filtered with the term as it is now; the
    // selected item stays selected, and while there was none the remembered one is chosen as
    // preparing the panel chooses it.
    if (!tableModel) {
        refreshListDisplay(); // start-up is still under way; it shows the list when it is done
        return;
    }
    const QString selected = interactiveCombinedList->pathOfSelectedItem();
    reloadInteractiveList();
    controlTextDidChange();
    interactiveCombinedList->selectItemWithPath(selected.isEmpty() ? combinedPathOfLastMatch : selected);
    if (!interactiveCombinedList->isEmpty())
        selectTableRow(interactiveCombinedList->indexOfSelectedItem());
}

bool AppController::isReadingIndex() const
{
    return indexRead->isReading();
}

void AppController::scanIfIndexIsUnreadable()
{
    if (!interactiveCombinedList->interactiveListFileIsUnreadable())
        return;
    reasonShownWhileScanning = QStringLiteral("The index could not be read; scanning again...");
    fileList->redoFileList();
}

void AppController::fileListWasRefreshed(const WrittenIndex& written)
{
    // The scanner's own table stands for the file it wrote; without it, the file is read in the
    // background by the reload.
    if (written.table)
        InteractiveList::keepTableOfFile(
            interactiveCombinedList->getFilePath(), written.identity, written.table);
    // While the panel is away nobody sees the list: the next summons takes the new items and
    // filters them once, instead of this report filtering them for nothing.
    if (tableModel && !outlets.window->isVisible())
        return;
    reloadInteractiveList();
    controlTextDidChange();
}

} // namespace quorvel
