#include "install/InstallationManager.h"

#include "platform/desktop/ScriptRunner.h"
#include "platform/desktop/Workspace.h"
#include "platform/files/Folders.h"
#include "platform/settings/PreferenceDomain.h"
#include "platform/widgets/Alert.h"

#include <QVariantList>
#include <QVariantMap>
#include <optional>

namespace quorvel {

namespace {

const QString pathKey = QStringLiteral("Path");
const QString hideKey = QStringLiteral("Hide");

// Every read first picks up what other processes wrote. No list at all is not an empty list.
std::optional<QVariantList> readLoginItems(PreferenceDomain& loginWindow)
{
    loginWindow.synchronize();
    const QVariant list = loginWindow.copyValue(PreferenceDomain::loginItemsKey);
    if (list.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    return list.toList();
}

void writeLoginItems(PreferenceDomain& loginWindow, const QVariantList& items)
{
    loginWindow.setValue(PreferenceDomain::loginItemsKey, items);
    loginWindow.synchronize();
}

// A literal, case-sensitive substring of the item's "Path"; no "Path" and an empty partial path
// never match.
bool matches(const QVariant& item, const QString& partialPath)
{
    const QVariant path = item.toMap().value(pathKey);
    if (partialPath.isEmpty() || path.typeId() != QMetaType::QString)
        return false;
    return path.toString().contains(partialPath, Qt::CaseSensitive);
}

} // namespace

bool InstallationManager::isLoginItemWithPartialPathRegistered(const QString& partialPath)
{
    PreferenceDomain loginWindow(PreferenceDomain::loginWindowDomain);
    const std::optional<QVariantList> items = readLoginItems(loginWindow);
    if (!items)
        return false;
    for (const QVariant& item : *items)
        if (matches(item, partialPath))
            return true;
    return false;
}

void InstallationManager::registerLoginItemWithPathAndHidden(const QString& path, bool hidden)
{
    PreferenceDomain loginWindow(PreferenceDomain::loginWindowDomain);
    QVariantList items = readLoginItems(loginWindow).value_or(QVariantList());
    items.append(QVariantMap { { hideKey, QVariant::fromValue<qint64>(hidden ? 1 : 0) }, { pathKey, path } });
    writeLoginItems(loginWindow, items);
}

void InstallationManager::unregisterLoginItemWithPartialPath(const QString& partialPath)
{
    PreferenceDomain loginWindow(PreferenceDomain::loginWindowDomain);
    const std::optional<QVariantList> items = readLoginItems(loginWindow);
    if (!items)
        return;
    QVariantList kept;
    for (const QVariant& item : *items)
        if (!matches(item, partialPath))
            kept.append(item);
    writeLoginItems(loginWindow, kept);
}

void InstallationManager::openPrefPane()
{
    ScriptRunner::sharedScriptRunner().executeSource(
        QStringLiteral("tell application \"System Preferences\"\n") + QStringLiteral("activate\n")
        + QStringLiteral("end tell\n"));
    Workspace::sharedWorkspace().openFile(
        Folders::expandTilde(QStringLiteral("~/Library/PreferencePanes/Quorvel Preferences.prefPane")));
}

void InstallationManager::restartFinder()
{
    ScriptRunner::sharedScriptRunner().executeSource(QStringLiteral("tell application \"Finder\" to quit\n")
        + QStringLiteral("delay 3\n") + QStringLiteral("tell application \"Finder\" to activate\n"));
}

void InstallationManager::doInteractiveRestartFinder()
{
    const Alert::Answer answer
        = Alert::sharedAlert().run(Alert::Style::Informational, QStringLiteral("Restart Finder?"),
            QStringLiteral(
                "The contextual menu component of Quorvel Rename will only be available once the Finder is "
                "restarted.\n\nQuorvel Rename can restart the Finder for you now or you can wait until you "
                "next log out of your account or restart your Macintosh.\n\nIf you decide to let Quorvel "
                "Rename restart the Finder for you, make sure that the Finder is not currently busy copying "
                "or moving files.\n\nDo you wish to restart the Finder now?"),
            { QStringLiteral("Yes"), QStringLiteral("No") });
    if (answer == 0)
        restartFinder();
}

} // namespace quorvel
