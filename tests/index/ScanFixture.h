#pragma once
// A scanner wired to the four lists as the controller wires it, over real temporary trees, with
// a delegate that records every report the scanner makes (on its own thread).

#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FileList.h"
#include "index/FileListDelegate.h"
#include "index/FolderExclusionList.h"
#include "index/SearchLocations.h"
#include "index/TemporaryTree.h"

#include <QStringList>
#include <QVariantList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <ostream>

// Readable failure messages for strings and lists of them.
static inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace quorvel::test {

class RecordingDelegate final : public FileListDelegate {
public:
    struct Report {
        QString status;
        bool scanning;
        bool refreshed; // a fileListWasRefreshed, not an updateStatusBar
    };

    void updateStatusBar() override;
    void fileListWasRefreshed(const WrittenIndex& written) override;

    std::vector<Report> reports() const;
    QStringList statuses() const;

    FileList* scanner = nullptr;
    // Runs on the scanning thread after each status report.
    std::function<void(const QString& status)> onStatus;

private:
    mutable std::mutex lock;
    std::vector<Report> recorded;
};

class ScanFixture : public testing::Test {
protected:
    void SetUp() override;
    // A new scanner, wired as the first one, in place of the one there.
    void replaceScanner();

    // Replaces the live lists' entries.
    void setLocations(const QVariantList& entries);
    void setDocumentExtensions(const QStringList& extensions);
    void setFolderExclusions(const QStringList& patterns);
    void setFileExclusions(const QStringList& patterns);

    // Runs one scan to its end and answers the index file's items.
    QVariantList scan();
    // "type name path" for each item, in index order; paths relative to the tree as "~/...".
    QStringList describe(const QVariantList& items) const;
    QStringList scanAndDescribe() { return describe(scan()); }

    static QVariantMap location(const QString& path, bool subfolders = true, bool enabled = true);
    static QString indexPath();

    TemporaryTree tree;
    RecordingDelegate delegate;
    std::unique_ptr<SearchLocations> locations;
    std::unique_ptr<DocumentTypes> documentTypes;
    std::unique_ptr<FolderExclusionList> folderExclusions;
    std::unique_ptr<FileExclusionList> fileExclusions;
    std::unique_ptr<FileList> fileList;
};

} // namespace quorvel::test
