#include "ScanSetUp.h"

#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"

#include <QDir>
#include <QFile>

namespace quorvel::bench {

QString treeParent()
{
    const QString parent = qEnvironmentVariable("QUORVEL_BENCH_TREE_PARENT");
    return parent.isEmpty() ? QDir::tempPath() : parent;
}

void searchOnly(SearchLocations& locations, const QString& path)
{
    const std::lock_guard<std::mutex> guard(locations.lock());
    locations.contents()
        = { QVariantMap { { "path", path }, { "includeSubFolders", true }, { "enabled", true } } };
}

ScanSetUp::Home::Home()
{
    qputenv("HOME", QFile::encodeName(folder.path()));
}

ScanSetUp::ScanSetUp(const QString& location, FileListDelegate* delegate)
{
    searchOnly(locations, location);
    scanner.setSearchLocations(&locations);
    scanner.setDocumentTypes(&documentTypes);
    scanner.setFolderExclusionList(&folderExclusions);
    scanner.setFileExclusionList(&fileExclusions);
    scanner.setAppController(delegate);
}

std::size_t ScanSetUp::indexItemCount() const
{
    return PropertyList::readArrayFile(Folders::pathInPreferencesFolder("Quorvel Launcher Index"))
        .value_or(QVariantList())
        .size();
}

} // namespace quorvel::bench
