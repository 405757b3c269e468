#include "search/InteractiveList.h"

#include "platform/core/Log.h"
#include "platform/desktop/Bundle.h"
#include "platform/desktop/DesktopEntry.h"
#include "platform/desktop/Notification.h"
#include "platform/desktop/Workspace.h"
#include "platform/files/UnreadableFile.h"
#include "search/FoldedText.h"
#include "search/GlobPattern.h"
#include "search/IndexFile.h"
#include "search/LaunchedItems.h"
#include "search/NameFilter.h"
#include "search/RememberedMatches.h"
#include "search/SearchLog.h"
#include "search/UnchangedFileCache.h"

#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <cstdlib>

namespace quorvel {

namespace {

// The table last read from (or handed over for) an index file, kept in memory for every list: a
// table never changes once made, so lists may share it while the file stays as it was. (The
// index's cache file beside it on disk is IndexCache, which IndexFile::read consults.)
UnchangedFileCache<LaunchItemTable>& lastReadTable()
{
    static UnchangedFileCache<LaunchItemTable> lastRead;
    return lastRead;
}

} // namespace

InteractiveList::InteractiveList()
    : applications(std::make_shared<LaunchItemTable>())
{
}

UsageInformationManager& InteractiveList::usage() const
{
    // Read when first needed: a list of no items (the first of a start, while the index is
    // read in the background) never ranks, and the panel's first frame does not wait for it.
    if (!usageInfo)
        usageInfo = std::make_unique<UsageInformationManager>();
    return *usageInfo;
}

InteractiveList::~InteractiveList()
{
    // For the next list, which filters the same table with the same term as often as not.
    if (lastMode != -1)
        RememberedMatches::keep(applications, lastTerm, lastMode, unrankedMatches);
}

QString InteractiveList::getFilePath() const
{
    Log::line(searchLog(),
        QStringLiteral("ERROR: interactive list getFilePath called. Should be implemented by subclasses!"));
    std::exit(EXIT_FAILURE);
}

void InteractiveList::setFilePath(const QString& path)
{
    filePath = path;
}

void InteractiveList::load()
{
    if (loadWithoutReading())
        return;
    const std::optional<FileIdentity> before = FileIdentity::ofFile(filePath);
    keepTableOfFile(filePath, before, IndexFile::read(filePath));
    loadWithoutReading();
}

bool InteractiveList::loadWithoutReading()
{
    const UnchangedFileCache<LaunchItemTable>& lastRead = lastReadTable();
    fileUnreadable = false;
    if (std::shared_ptr<const LaunchItemTable> unchanged = lastRead.find(filePath)) {
        takeItems(std::move(unchanged));
        return true;
    }
    if (!FileIdentity::ofFile(filePath)) {
        takeItems(std::make_shared<LaunchItemTable>()); // no index yet
        return true;
    }
    // Damaged since it was last read well, or changed and not read yet: what was read before
    // stands meanwhile.
    fileUnreadable = lastRead.isUnreadable(filePath);
    std::shared_ptr<const LaunchItemTable> good = lastRead.lastKept(filePath);
    takeItems(good ? std::move(good) : std::make_shared<LaunchItemTable>());
    return fileUnreadable;
}

void InteractiveList::keepTableOfFile(const QString& path, const std::optional<FileIdentity>& identity,
    std::shared_ptr<const LaunchItemTable> table)
{
    if (table) {
        // A read that the file outran gives way to what is already known of the file as it is now.
        if (lastReadTable().find(path) && !(identity && identity == FileIdentity::ofFile(path)))
            return;
        lastReadTable().keep(path, identity, std::move(table));
        return;
    }
    if (!identity)
        return; // no file to read: nothing to remember
    UnreadableFile::keepCopy(path); // says so in the log
    lastReadTable().keepUnreadable(path, *identity);
}

void InteractiveList::takeItems(std::shared_ptr<const LaunchItemTable> table)
{
    // Matches of the items read before would point into the wrong table: they go with it.
    applications = std::move(table);
    currentlyMatchingItems.clear();
    matchCount = 0;
    rankingComplete = true;
    selectedIndex = 0;
    lastMode = -1;
    launchedItems.reset();
}

bool InteractiveList::interactiveListFileExists() const
{
    return QFileInfo::exists(filePath);
}

void InteractiveList::setFilterWithMode(const QString& term, int mode)
{
    matchingMode = mode;
    selectedIndex = 0;
    filterExpression = FoldedText::of(term);
    if (mode == WordMode)
        wordFilterExpression = QStringLiteral(" ") + filterExpression;
    if (mode == WildcardMode)
        wildcardFilterExpression = filterExpression + QStringLiteral("*");
    filter(narrowsLastTerm());
}

void InteractiveList::performFiltering()
{
    filter(false);
}

void InteractiveList::filter(bool narrowing)
{
    selectedIndex = 0;
    if (applications->empty())
        return;
    if (narrowing) {
        collectMatches(&unrankedMatches, narrowedMatches);
        unrankedMatches.swap(narrowedMatches);
    } else if (!hasMatchesOf(filterExpression, matchingMode)) {
        collectMatches(nullptr, unrankedMatches);
    }
    lastTerm = filterExpression;
    lastMode = matchingMode;
    usage().updateTime(); // one clock reading for the whole sort
    rankMatches();
}

bool InteractiveList::hasMatchesOf(const QString& term, int mode)
{
    // The same search asked again matches what it matched: only the ranking, which depends on
    // the history and the time, is done anew.
    if (lastMode == mode && lastTerm == term)
        return true;
    return RememberedMatches::take(applications, term, mode, unrankedMatches);
}

bool InteractiveList::narrowsLastTerm() const
{
    if (lastMode != matchingMode || filterExpression == lastTerm)
        return false; // a new mode, a new index, or the same search asked again
    // Tested one by one, the earlier matches cost more than one pass over the whole index when
    // they are many in these modes.
    const bool fewMatches = unrankedMatches.size() * 4 <= applications->size();
    switch (matchingMode) {
    case PrefixMode:
        return !lastTerm.isEmpty() && filterExpression.startsWith(lastTerm);
    case ContainsMode:
        return fewMatches && !lastTerm.isEmpty() && filterExpression.contains(lastTerm);
    case WordMode:
        // A name beginning with the longer term, or holding it after a space, does so with the
        // shorter one too. The empty term matches by its space alone, so it narrows nothing.
        return fewMatches && !lastTerm.isEmpty() && filterExpression.startsWith(lastTerm);
    case WildcardMode: {
        // Pattern and name: what the longer pattern takes, "term*" takes too, as long as the
        // added text crosses no line feed ("*" does not) and both patterns mean only literals,
        // "?" and "*" (no operator of the expression that would change their sense).
        if (!filterExpression.startsWith(lastTerm)
            || QStringView(filterExpression).sliced(lastTerm.size()).contains(QLatin1Char('\n')))
            return false;
        return GlobPattern(lastTerm + QLatin1Char('*')).isDirect()
            && GlobPattern(wildcardFilterExpression).isDirect();
    }
    default:
        return false;
    }
}

void InteractiveList::collectMatches(
    const std::vector<std::uint32_t>* within, std::vector<std::uint32_t>& out) const
{
    switch (matchingMode) {
    case PrefixMode:
        NameFilter::prefixMatches(*applications, filterExpression, within, out);
        return;
    case ContainsMode:
        NameFilter::containsMatches(*applications, filterExpression, within, out);
        return;
    case WordMode:
        NameFilter::wordMatches(*applications, filterExpression, wordFilterExpression, within, out);
        return;
    case WildcardMode:
        NameFilter::wildcardMatches(*applications, wildcardFilterExpression, within, out);
        return;
    default:
        out.clear();
        return;
    }
}

void InteractiveList::launchSelectedItem()
{
    if (!isMatchIndex(selectedIndex))
        return;
    // The rows not ranked yet must come out as they would have before the launch changes the
    // history they are ranked by.
    rankRowsUpTo(matchCount);
    const std::uint32_t item = itemAt(selectedIndex);
    const QString path = applications->path(item).toString();
    Workspace& workspace = Workspace::sharedWorkspace();
    QString whyNot;
    bool opened = true;
    switch (applications->kind(item)) {
    case LaunchItemKind::PreferencePane:
    case LaunchItemKind::Document:
        opened = workspace.openFile(path, &whyNot);
        break;
    case LaunchItemKind::Application:
        opened = workspace.launchApplication(path, &whyNot);
        break;
    case LaunchItemKind::Folder:
        opened = workspace.selectFileInFileViewerRootedAtPath(QString(), path, &whyNot);
        break;
    case LaunchItemKind::Other:
        break;
    }
    // The panel goes away after every launch, so a failed open would otherwise pass unseen.
    if (!opened)
        Notification::sharedNotification().post(
            QStringLiteral("Could not open \u201c%1\u201d").arg(applications->name(item)), whyNot);
    // A launch that failed is recorded all the same.
    usage().registerLaunchOf(path);
    launchedItems.reset();
}

QIcon InteractiveList::iconOfSelectedFile() const
{
    if (!isMatchIndex(selectedIndex))
        return QIcon();
    const std::uint32_t item = itemAt(selectedIndex);
    const QString path = applications->path(item).toString();
    if (applications->kind(item) == LaunchItemKind::PreferencePane) {
        if (const std::optional<Bundle> bundle = Bundle::bundleWithPath(path)) {
            const QVariantMap info = bundle->infoDictionary();
            const QString iconName = info.contains(QStringLiteral("NSPrefPaneIconFile"))
                ? info.value(QStringLiteral("NSPrefPaneIconFile")).toString()
                : info.value(QStringLiteral("CFBundleIconFile")).toString();
            const QString iconPath = iconName.isEmpty() ? QString() : bundle->pathForImageResource(iconName);
            if (!iconPath.isEmpty())
                return QIcon(iconPath); // read when first drawn
        } else if (!DesktopEntry::hasDesktopEntrySuffix(path)) {
            // A desktop's settings panel is a desktop entry, with the icon it names.
            Log::line(searchLog(), QStringLiteral("no bundle found!"));
        }
    }
    return Workspace::sharedWorkspace().iconForFile(path);
}

void InteractiveList::showWaitingForDiskScanPanel()
{
    // The library shows no windows; the wait is said in the log instead of a panel. A pause
    // between attempts keeps the wait from spinning, and the limit keeps a scan that never
    // comes from holding the caller for ever.
    constexpr std::chrono::milliseconds pause(200);
    Log::line(searchLog(), QStringLiteral("Waiting for the disk scan to finish..."));
    const auto deadline = std::chrono::steady_clock::now() + waitingLimit;
    for (;;) {
        if (std::shared_ptr<const LaunchItemTable> table = IndexFile::read(filePath)) {
            takeItems(std::move(table));
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            Log::line(searchLog(),
                QStringLiteral("Gave up waiting for the disk scan: %1 cannot be read").arg(filePath));
            return;
        }
        QThread::msleep(static_cast<unsigned long>(pause.count()));
    }
}

void InteractiveList::save()
{
    usage().save();
}

} // namespace quorvel
