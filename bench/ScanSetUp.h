#pragma once
// What the scanner benchmarks share: where the synthetic tree is kept, and a scanner in a
// temporary home that scans one location with the shipped document types and exclusion lists.

#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FileList.h"
#include "index/FileListDelegate.h"
#include "index/FolderExclusionList.h"
#include "index/SearchLocations.h"

#include <QString>
#include <QTemporaryDir>
#include <cstddef>

namespace quorvel::bench {

// The folder the synthetic tree is kept in: QUORVEL_BENCH_TREE_PARENT, else the temporary folder.
QString treeParent();

// Makes path, with its subfolders, the only search location.
void searchOnly(SearchLocations& locations, const QString& path);

class ScanSetUp final {
public:
    // A scanner of location (a folder path ending in "/") telling delegate, if any.
    ScanSetUp(const QString& location, FileListDelegate* delegate);

    FileList& fileList() { return scanner; }
    SearchLocations& searchLocations() { return locations; }
    // The number of items in the index the last scan wrote.
    std::size_t indexItemCount() const;

private:
    // HOME points into it before the lists read their files.
    struct Home {
        Home();
        QTemporaryDir folder;
    };

    Home home;
    SearchLocations locations;
    DocumentTypes documentTypes;
    FolderExclusionList folderExclusions;
    FileExclusionList fileExclusions;
    FileList scanner; // last: it ends its scans before the lists go
};

} // namespace quorvel::bench
