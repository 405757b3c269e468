#pragma once
// The user's file exclusion patterns: an item that matches stays out of the index (a folder's contents are
// still walked).

#include "index/ExclusionList.h"

namespace quorvel {

class FileExclusionList final : public ExclusionList {
public:
    // Loads the list file, else the "File Exclusion List Defaults.xml" resource; with neither,
    // raises InternalInconsistency.
    FileExclusionList();
};

QString _fileExclusionListPath();

} // namespace quorvel
