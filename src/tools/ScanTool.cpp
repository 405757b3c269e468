// quorvel-scan: one disk scan from the command line, made by the launcher's own scanner with the
// user's four lists, writing the index where the launcher reads it. Prints each status text on
// its own line as it changes; exits 0 once the scan has written the index, 1 when it could not
// (the completion line is then not printed), 2 for bad arguments.

#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FileList.h"
#include "index/FileListDelegate.h"
#include "index/FolderExclusionList.h"
#include "index/SearchLocations.h"
#include "platform/core/InternalInconsistency.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <mutex>

using namespace quorvel;

namespace {

const QString bundleName = QStringLiteral("Quorvel Launcher 2.app");

// The lists' defaults ship inside the launcher's bundle: use the bundle the tool lives in, else
// the one built beside it, else the installed one.
void useTheLaunchersResources()
{
    auto hasDefaults = [](const Bundle& bundle) {
        return !bundle.pathForResource(QStringLiteral("Document Types Defaults"), QStringLiteral("xml"))
                    .isEmpty();
    };
    if (hasDefaults(Bundle::mainBundle()))
        return;
    const QStringList candidates = {
        QDir(QCoreApplication::applicationDirPath()).filePath(bundleName),
        Folders::joinPath(Folders::homeFolder(), QStringLiteral("Applications/") + bundleName),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isDir() && hasDefaults(Bundle(candidate))) {
            Bundle::setMainBundlePath(candidate);
            return;
        }
    }
}

// Prints the scanner's status texts; called on the scanning thread.
class StatusPrinter final : public FileListDelegate {
public:
    explicit StatusPrinter(const FileList& scanner)
        : scanner(scanner)
    {
    }

    void updateStatusBar() override
    {
        const QString status = scanner.statusString();
        const std::lock_guard<std::mutex> guard(lock);
        if (status == lastPrinted)
            return;
        lastPrinted = status;
        std::fputs((status.toUtf8() + '\n').constData(), stdout);
        std::fflush(stdout);
    }
    void fileListWasRefreshed(const WrittenIndex&) override { }

private:
    const FileList& scanner;
    mutable std::mutex lock;
    QString lastPrinted;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Scans the search locations of the launcher's lists and writes its index."));
    parser.addHelpOption();
    parser.addVersionOption();
    const bool parsed = parser.parse(QCoreApplication::arguments());
    if (parsed && parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parsed && parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parsed || !parser.positionalArguments().isEmpty()) {
        const QString why = parsed ? QStringLiteral("it takes no arguments") : parser.errorText();
        std::fprintf(stderr, "usage: quorvel-scan\nquorvel-scan: %s\n", qPrintable(why));
        return 2;
    }
    useTheLaunchersResources();
    try {
        SearchLocations locations;
        DocumentTypes documentTypes;
        FolderExclusionList folderExclusions;
        FileExclusionList fileExclusions;
        FileList fileList;
        StatusPrinter printer(fileList);
        fileList.setSearchLocations(&locations);
        fileList.setDocumentTypes(&documentTypes);
        fileList.setFolderExclusionList(&folderExclusions);
        fileList.setFileExclusionList(&fileExclusions);
        fileList.setAppController(&printer);
        fileList.redoFileList();
        fileList.waitUntilScanHasFinished();
        return fileList.lastScanWroteIndex() ? 0 : 1;
    } catch (const InternalInconsistency&) {
        return 1; // already logged: the launcher's own resources are missing
    }
}
