// The scan schedule and the status line that follows the scanner.

#include "app/AppController.h"

#include "app/IndexFileLoader.h"
#include "index/FileList.h"
#include "index/IndexWatcher.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"

#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace quorvel {

void AppController::setTimerInterval(int seconds)
{
    updateIntervalInSeconds = static_cast<float>(seconds);
    myTimer.reset();
    if (automaticScanning == 0)
        return;
    myTimer = std::make_unique<QTimer>();
    // A stored interval of zero or less would fire without pause; the platform's own minimum
    // for such timers is a tenth of a millisecond, one second is a sane floor here.
    const qint64 milliseconds = std::max<qint64>(1000, static_cast<qint64>(updateIntervalInSeconds) * 1000);
    myTimer->setInterval(static_cast<int>(std::min<qint64>(milliseconds, std::numeric_limits<int>::max())));
    connect(myTimer.get(), &QTimer::timeout, this, [this] { fileList->timeUpForRedoingFileList(); });
    myTimer->start();
}

void AppController::setDiskScanningInterval(int seconds)
{
    updateIntervalInSeconds = static_cast<float>(seconds);
    setTimerInterval(seconds);
}

void AppController::setAutomaticScanning(int flag)
{
    automaticScanning = flag;
}

void AppController::scanNow()
{
    fileList->timeUpForRedoingFileList();
}

void AppController::scanIfIndexIsUnreadable()
{
    if (!interactiveCombinedList->interactiveListFileIsUnreadable())
        return;
    scanReason = QStringLiteral("The index could not be read; scanning again...");
    fileList->redoFileList();
}

void AppController::updateStatusBar()
{
    // Read the scanner now, on whichever thread reports, so that what is shown is the state
    // of this moment even when the main thread gets to it later.
    const QString status = fileList->statusString();
    const bool scanning = fileList->showProgressIndicator();
    if (QThread::currentThread() == thread()) {
        showScanState(status, scanning);
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, status, scanning] {
            // The scanner's last report of a scan ends what the reason explained.
            if (!scanning)
                scanReason.clear();
            showScanState(status, scanning);
        },
        Qt::QueuedConnection);
}

void AppController::fileListWasRefreshed(const WrittenIndex& written)
{
    refreshAfterScan(written);
}

void AppController::refreshAfterScan(const WrittenIndex& written)
{
    // The scanner's own table stands for the file it wrote; without it, the file is read in the
    // background by the reload.
    const auto refresh = [this, written] {
        if (written.table)
            InteractiveList::keepTableOfFile(_combinedListPath(), written.identity, written.table);
        reloadInteractiveList();
        controlTextDidChange();
        // Folders may have come or gone with the new index.
        if (indexWatcher)
            indexWatcher->watchLocations();
    };
    if (QThread::currentThread() == thread()) {
        refresh();
        return;
    }
    QMetaObject::invokeMethod(this, refresh, Qt::QueuedConnection);
}

void AppController::loadCombinedList()
{
    interactiveCombinedList = std::make_unique<InteractiveCombinedList>();
    if (!interactiveCombinedList->loadWithoutReading())
        indexLoader->read(interactiveCombinedList->getFilePath(),
            [this](const QString& path, const std::optional<FileIdentity>& before,
                std::shared_ptr<const LaunchItemTable> table) {
                InteractiveList::keepTableOfFile(path, before, std::move(table));
                indexWasRead();
            });
    scanIfIndexIsUnreadable();
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
    return indexLoader->isReading();
}

void AppController::showScanState(const QString& status, bool scanning)
{
    if (!outlets.statusField)
        return;
    if (scanning) {
        outlets.startScanButton->hide();
        outlets.progressIndicator->show();
        outlets.progressIndicator->setRange(0, 0); // spins while the range is empty
    } else {
        outlets.progressIndicator->setRange(0, 1);
        outlets.progressIndicator->hide();
        outlets.startScanButton->show();
    }
    const QString shown = scanning && !scanReason.isEmpty() ? scanReason : status;
    outlets.statusField->setText(shown);
    outlets.statusField->setToolTip(shown); // the line may be elided
    Q_EMIT statusLineChanged(shown);
}

} // namespace quorvel
