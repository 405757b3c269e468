// The scan schedule and the status line that follows the scanner.

#include "app/AppController.h"

#include "app/ElidingLabel.h"
#include "index/FileList.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
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

void AppController::updateStatusBar()
{
    showScanState(fileList->statusString(), fileList->showProgressIndicator());
}

void AppController::scanStatusReported(const QString& status, bool scanning)
{
    // The scanner's last report of a scan ends what the reason explained.
    if (!scanning)
        reasonShownWhileScanning.clear();
    showScanState(status, scanning);
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
    const QString shown = scanning && !reasonShownWhileScanning.isEmpty() ? reasonShownWhileScanning : status;
    outlets.statusField->setText(shown);
    outlets.statusField->setToolTip(ElidingLabel::withDirectionMarks(shown)); // the line may be elided
    Q_EMIT statusLineChanged(shown);
}

} // namespace quorvel
