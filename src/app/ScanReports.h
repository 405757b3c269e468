#pragma once
// The scanner's delegate on the controller's side: the scanner reports on its own thread, and
// each report is carried to the main thread in one queued hop, in the order it was made. A status
// report is read from the scanner at once, so that what is shown is the state of that moment even
// when the main thread gets to it later. Reports still queued when this object goes are dropped.

#include "index/FileListDelegate.h"

#include <QObject>
#include <QString>
#include <functional>

namespace quorvel {

class FileList;

class ScanReports final : public QObject, public FileListDelegate {
    Q_OBJECT
public:
    using StatusChanged = std::function<void(const QString& status, bool scanning)>;
    using IndexWritten = std::function<void(const WrittenIndex& written)>;

    // Lives on the thread that creates it (the main thread), where the handlers run. The scanner
    // reports until it is destroyed, reading itself for the status: destroy it first, then this.
    ScanReports(const FileList& scanner, StatusChanged statusChanged, IndexWritten indexWritten);

    // Called by the scanner on its thread.
    void updateStatusBar() override;
    void fileListWasRefreshed(const WrittenIndex& written) override;

private:
    const FileList& scanner;
    StatusChanged statusChanged;
    IndexWritten indexWritten;
};

} // namespace quorvel
