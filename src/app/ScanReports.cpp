#include "app/ScanReports.h"

#include "index/FileList.h"

#include <QMetaObject>

namespace quorvel {

ScanReports::ScanReports(const FileList& scanner, StatusChanged statusChanged, IndexWritten indexWritten)
    : scanner(scanner)
    , statusChanged(std::move(statusChanged))
    , indexWritten(std::move(indexWritten))
{
}

void ScanReports::updateStatusBar()
{
    const QString status = scanner.statusString();
    const bool scanning = scanner.showProgressIndicator();
    QMetaObject::invokeMethod(
        this, [this, status, scanning] { statusChanged(status, scanning); }, Qt::QueuedConnection);
}

void ScanReports::fileListWasRefreshed(const WrittenIndex& written)
{
    QMetaObject::invokeMethod(
        this, [this, written] { indexWritten(written); }, Qt::QueuedConnection);
}

} // namespace quorvel
