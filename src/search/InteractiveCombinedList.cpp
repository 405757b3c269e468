#include "search/InteractiveCombinedList.h"

#include "search/IndexFile.h"

namespace quorvel {

InteractiveCombinedList::InteractiveCombinedList()
{
    takeFilePathFromSubclass();
}

QString InteractiveCombinedList::getFilePath() const
{
    return _combinedListPath();
}

} // namespace quorvel
