#pragma once
// The user's folder exclusion patterns: a subfolder that matches is neither indexed nor walked.

#include "index/ExclusionList.h"

namespace quorvel {

class FolderExclusionList final : public ExclusionList {
public:
    // Loads the list file, else the "Folder Exclusion List Defaults.xml" resource; with neither,
    // raises InternalInconsistency.
    FolderExclusionList();
};

QString _folderExclusionListPath();

} // namespace quorvel
