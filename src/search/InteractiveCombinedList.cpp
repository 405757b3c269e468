#include "search/InteractiveCombinedList.h"

#include "platform/Folders.h"

namespace quorvel {

QString _combinedListPath()
{
    return Folders::pathInPreferencesFolder(QStringLiteral("Quorvel Launcher Index"));
}

InteractiveCombinedList::InteractiveCombinedList()
{
    takeFilePathFromSubclass();
}

QString InteractiveCombinedList::getFilePath() const
{
    return _combinedListPath();
}

} // namespace quorvel
