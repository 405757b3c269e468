// The launch history on any bytes, loaded as the panel loads it, ranked, saved after one more
// launch and loaded again: no launch time and no entry of the file may be lost on the way,
// whatever else the file holds.

#include "fuzz/FuzzTargets.h"

#include "platform/plist/PropertyList.h"
#include "search/UsageInformationManager.h"

namespace quorvel::fuzz {

namespace {

const QString& launchedPath()
{
    static const QString path = QStringLiteral("/fuzz/launched once more");
    return path;
}

void rankEveryEntry(UsageInformationManager& history, const QVariantMap& file)
{
    history.updateTime();
    LaunchItem previous { QStringLiteral("b"), QStringLiteral("app"), launchedPath() };
    for (auto entry = file.constBegin(); entry != file.constEnd(); ++entry) {
        const LaunchItem item { QStringLiteral("a"), QStringLiteral("doc"), entry.key() };
        const int order = history.compareTo(item, previous);
        check(order == -history.compareTo(previous, item), "the comparison is antisymmetric");
        history.scoreOf(LaunchItemKind::Document, history.launchTimesFor(entry.key()));
        previous = item;
    }
}

} // namespace

void historyLoader(const std::uint8_t* data, std::size_t size)
{
    writeScratch(_historyPath(), data, size);
    const std::optional<QVariantMap> file = PropertyList::readDictionaryFile(_historyPath());
    UsageInformationManager history;
    rankEveryEntry(history, file.value_or(QVariantMap()));
    history.registerLaunchOf(launchedPath());
    history.save();

    const UsageInformationManager reloaded;
    const std::optional<QVariantMap> saved = PropertyList::readDictionaryFile(_historyPath());
    check(saved.has_value(), "the saved history reads as a dictionary");
    check(reloaded.launchCountFor(launchedPath()) == history.launchCountFor(launchedPath()),
        "the launch just made survives the save");
    if (!file || !saved)
        return;
    for (auto entry = file->constBegin(); entry != file->constEnd(); ++entry) {
        if (!saved->contains(entry.key()))
            fail(QStringLiteral("the entry \"%1\" is lost when the history is saved").arg(entry.key()));
        if (reloaded.launchCountFor(entry.key()) != history.launchCountFor(entry.key()))
            fail(
                QStringLiteral("launch times of \"%1\" are lost when the history is saved").arg(entry.key()));
    }
}

} // namespace quorvel::fuzz
