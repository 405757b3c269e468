#pragma once
// A deterministic synthetic folder tree for the scanner benchmark: wide document folders, one
// deep chain, application bundles (with their insides), preference panes, desktop entries,
// AppImages and a few folders the default exclusions leave out. Files are empty; the tree is
// made once under a versioned folder and reused while it is complete.

#include <QString>
#include <cstddef>

namespace quorvel::bench {

struct SyntheticTreeShape {
    int documentFolders = 160; // top-level folders in Documents
    int subfoldersPerFolder = 12; // each with this many subfolders
    int filesPerSubfolder = 97; // and this many files each
    int applicationBundles = 400; // .app bundles, 12 entries inside each
    int desktopEntries = 600;
    int preferencePanes = 30;
    int deepChainLength = 60; // nested folders, 20 files at each level
    int excludedFolders = 20; // node_modules folders of 150 entries each
};

// Makes the tree (unless already there) and answers its root folder.
QString syntheticTree(const QString& parentFolder, const SyntheticTreeShape& shape = SyntheticTreeShape());

// The number of entries below root, root included, as `find root` counts them.
std::size_t countEntries(const QString& root);

} // namespace quorvel::bench
