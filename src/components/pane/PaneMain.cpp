// Quorvel Preferences: the preference pane's program; the workspace runs it when the pane is
// opened.
//   "Quorvel Preferences"                 the window
//   "Quorvel Preferences" --set KEY       what the window's Apply does, e.g. --set "Control+Alt+Q";
//                                         --set off switches the hot key off. Prints the
//                                         component's answer; exit status 0 when the key is held
//                                         (or switched off), 1 for a text naming no usable key,
//                                         2 when the key could not be taken
//   "Quorvel Preferences" --status        prints the component's answer (starting it if need be)
//   "Quorvel Preferences" --add-desktop-shortcut
//                                         what the window's "Add Shortcut to Desktop Settings"
//                                         does: the stored key runs the wake-up command from the
//                                         desktop's own shortcut settings (GNOME)
//   "Quorvel Preferences" --remove-desktop-shortcut
//                                         takes the launcher's shortcut out of the desktop's
//                                         settings, for when the pane is removed

#include "components/pane/PreferencePaneWindow.h"
#include "components/shared/ComponentContract.h"
#include "components/shared/GnomeCustomShortcut.h"
#include "components/shared/HotKeyClient.h"
#include "components/shared/HotKeySettings.h"
#include "platform/desktop/Bundle.h"
#include "platform/settings/UserDefaults.h"

#include <QApplication>
#include <QTextStream>
#include <memory>

using namespace quorvel;

namespace {

int answer(const HotKeyStatus& status)
{
    QTextStream(stdout) << status.state << ": " << status.message << Qt::endl;
    const bool fine = status.isHeld() || status.state == QLatin1String("off");
    return fine ? 0 : 2;
}

std::optional<HotKeySettings> settingsOfText(const QString& text)
{
    if (text.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0) {
        UserDefaults defaults(ComponentContract::applicationIdentifier());
        const HotKeySettings stored = HotKeySettings::readFrom(defaults);
        return HotKeySettings(stored.keyString(), stored.modifiers(), false);
    }
    QString whyNot;
    std::optional<HotKeySettings> settings = HotKeySettings::fromText(text, &whyNot);
    if (!settings)
        QTextStream(stderr) << "Not a usable hot key: " << whyNot << Qt::endl;
    return settings;
}

int addDesktopShortcut()
{
    UserDefaults defaults(ComponentContract::applicationIdentifier());
    const HotKeySettings settings = HotKeySettings::readFrom(defaults);
    if (!GnomeCustomShortcut::add(settings))
        return answer({ QStringLiteral("unavailable"),
            QStringLiteral("The desktop's settings did not take the shortcut. Bind this command by hand: %1")
                .arg(ComponentContract::wakeUpCommandLine()) });
    return answer({ QStringLiteral("held"),
        QStringLiteral("The desktop's own shortcut settings now run the launcher's wake-up command on %1.")
            .arg(settings.text()) });
}

int runCommand(const QStringList& arguments, HotKeyClient& client)
{
    if (arguments.at(1) == QLatin1String("--add-desktop-shortcut"))
        return addDesktopShortcut();
    if (arguments.at(1) == QLatin1String("--remove-desktop-shortcut"))
        return GnomeCustomShortcut::remove() || !GnomeCustomShortcut::isOffered() ? 0 : 2;
    if (arguments.at(1) == QLatin1String("--status")) {
        if (!client.ensureRunning())
            return answer(
                { QStringLiteral("unavailable"), QStringLiteral("The hot-key component did not start.") });
        return answer(client.status());
    }
    if (arguments.at(1) == QLatin1String("--set") && arguments.size() == 3) {
        const std::optional<HotKeySettings> settings = settingsOfText(arguments.at(2));
        return settings ? answer(client.apply(*settings)) : 1;
    }
    QTextStream(stderr)
        << "Usage: " << arguments.at(0)
        << " [--set KEY | --set off | --status | --add-desktop-shortcut | --remove-desktop-shortcut]"
        << Qt::endl;
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // The commands need no display: only the window makes a widget application.
    const bool command = argc > 1;
    std::unique_ptr<QCoreApplication> application = command ? std::make_unique<QCoreApplication>(argc, argv)
                                                            : std::make_unique<QApplication>(argc, argv);
    HotKeyClient client(ComponentContract::componentToStart(Bundle::mainBundle().bundlePath()));
    if (command)
        return runCommand(application->arguments(), client);

    PreferencePaneWindow window(ComponentContract::componentToStart(Bundle::mainBundle().bundlePath()));
    window.show();
    // Starting the component may take a moment: the window is up meanwhile.
    QMetaObject::invokeMethod(
        &window, [&window] { window.load(); }, Qt::QueuedConnection);
    return application->exec();
}
