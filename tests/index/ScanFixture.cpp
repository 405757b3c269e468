#include "index/ScanFixture.h"

#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "support/TemporaryHome.h"

namespace quorvel::test {

void RecordingDelegate::updateStatusBar()
{
    const QString status = scanner->statusString();
    {
        const std::lock_guard<std::mutex> guard(lock);
        recorded.push_back({ status, scanner->showProgressIndicator(), false });
    }
    if (onStatus)
        onStatus(status);
}

void RecordingDelegate::fileListWasRefreshed(const WrittenIndex&)
{
    const std::lock_guard<std::mutex> guard(lock);
    recorded.push_back({ scanner->statusString(), scanner->showProgressIndicator(), true });
}

std::vector<RecordingDelegate::Report> RecordingDelegate::reports() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return recorded;
}

QStringList RecordingDelegate::statuses() const
{
    QStringList texts;
    for (const Report& report : reports()) {
        if (!report.refreshed)
            texts.append(report.status);
    }
    return texts;
}

void ScanFixture::SetUp()
{
    Bundle::setMainBundlePath(builtBundlePath());
    locations = std::make_unique<SearchLocations>();
    documentTypes = std::make_unique<DocumentTypes>();
    folderExclusions = std::make_unique<FolderExclusionList>();
    fileExclusions = std::make_unique<FileExclusionList>();
    setLocations({ location(tree.path() + "/") });
    setDocumentExtensions({ "pdf", "txt" });
    setFolderExclusions({});
    setFileExclusions({});
    replaceScanner();
}

void ScanFixture::replaceScanner()
{
    fileList = std::make_unique<FileList>();
    fileList->setSearchLocations(locations.get());
    fileList->setDocumentTypes(documentTypes.get());
    fileList->setFolderExclusionList(folderExclusions.get());
    fileList->setFileExclusionList(fileExclusions.get());
    fileList->setAppController(&delegate);
    delegate.scanner = fileList.get();
}

void ScanFixture::setLocations(const QVariantList& entries)
{
    const std::lock_guard<std::mutex> guard(locations->lock());
    locations->contents() = entries;
}

void ScanFixture::setDocumentExtensions(const QStringList& extensions)
{
    QVariantList rules;
    for (const QString& extension : extensions)
        rules.append(
            QVariantMap { { "enabled", true }, { "fileExtension", extension }, { "type", extension } });
    const std::lock_guard<std::mutex> guard(documentTypes->lock());
    documentTypes->contents() = rules;
}

namespace {
QVariantList patternEntries(const QStringList& patterns)
{
    QVariantList entries;
    for (const QString& pattern : patterns)
        entries.append(QVariantMap { { "enabled", true }, { "expression", pattern } });
    return entries;
}
} // namespace

void ScanFixture::setFolderExclusions(const QStringList& patterns)
{
    const std::lock_guard<std::mutex> guard(folderExclusions->lock());
    folderExclusions->contents() = patternEntries(patterns);
}

void ScanFixture::setFileExclusions(const QStringList& patterns)
{
    const std::lock_guard<std::mutex> guard(fileExclusions->lock());
    fileExclusions->contents() = patternEntries(patterns);
}

QVariantList ScanFixture::scan()
{
    fileList->redoFileList();
    fileList->waitUntilScanHasFinished();
    return PropertyList::readArrayFile(indexPath()).value_or(QVariantList { "no index" });
}

QStringList ScanFixture::describe(const QVariantList& items) const
{
    QStringList lines;
    for (const QVariant& item : items) {
        const QVariantMap map = item.toMap();
        QString path = map.value("path").toString();
        if (path.startsWith(tree.path()))
            path = "~" + path.mid(tree.path().size());
        lines.append(map.value("type").toString() + " " + map.value("name").toString() + " " + path);
    }
    return lines;
}

QVariantMap ScanFixture::location(const QString& path, bool subfolders, bool enabled)
{
    return { { "path", path }, { "includeSubFolders", subfolders }, { "enabled", enabled } };
}

QString ScanFixture::indexPath()
{
    return Folders::pathInPreferencesFolder("Quorvel Launcher Index");
}

} // namespace quorvel::test
