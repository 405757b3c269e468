#include "index/FolderExclusionList.h"

#include "platform/files/Folders.h"

namespace quorvel {

namespace {
const QString listFileName = QStringLiteral("Quorvel Launcher Folder Exclusion List");
}

QString _folderExclusionListPath()
{
    return Folders::pathInPreferencesFolder(listFileName);
}

FolderExclusionList::FolderExclusionList()
    : ExclusionList(listFileName, QStringLiteral("Folder Exclusion List Defaults"),
        QStringLiteral("could not find any folder exclusion list defaults!"), __FILE__)
{
    load();
}

} // namespace quorvel
