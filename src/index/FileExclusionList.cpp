#include "index/FileExclusionList.h"

#include "platform/files/Folders.h"

namespace quorvel {

namespace {
const QString listFileName = QStringLiteral("Quorvel Launcher File Exclusion List");
}

QString _fileExclusionListPath()
{
    return Folders::pathInPreferencesFolder(listFileName);
}

FileExclusionList::FileExclusionList()
    : ExclusionList(listFileName, QStringLiteral("File Exclusion List Defaults"),
        QStringLiteral("could not find any file exclusion list defaults!"), __FILE__)
{
    load();
}

} // namespace quorvel
