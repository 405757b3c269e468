#include "components/pane/PreferencePaneWindow.h"

#include "components/shared/ComponentContract.h"
#include "components/shared/GnomeCustomShortcut.h"
#include "components/shared/HotKeySettings.h"
#include "install/KeyCodes.h"
#include "platform/settings/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quorvel {

namespace {

constexpr int statusPollMilliseconds = 500;

} // namespace

// The component says by itself when the desktop has kept silent for a while (15 s); a pane that
// has heard nothing new by its pending limit says so on its own.
PreferencePaneWindow::PreferencePaneWindow(
    const QString& componentBundlePath, std::chrono::milliseconds pendingLimit)
    : client(componentBundlePath)
    , pendingLimit(pendingLimit)
{
    setWindowTitle(QStringLiteral("Quorvel"));
    buildLayout();
    statusPoll = new QTimer(this);
    statusPoll->setInterval(statusPollMilliseconds);
    connect(statusPoll, &QTimer::timeout, this, [this] { pollStatus(); });
}

void PreferencePaneWindow::buildLayout()
{
    keyNames = new QComboBox;
    for (const KeyCodeRow& row : _keyCodes)
        keyNames->addItem(QString::fromLatin1(row.name));
    control = new QCheckBox(QStringLiteral("Control"));
    alt = new QCheckBox(QStringLiteral("Alt"));
    shift = new QCheckBox(QStringLiteral("Shift"));
    super = new QCheckBox(QStringLiteral("Super"));
    auto* modifiers = new QHBoxLayout;
    for (QCheckBox* box : { control, alt, shift, super })
        modifiers->addWidget(box);
    modifiers->addStretch();
    switchedOn = new QCheckBox(QStringLiteral("Bring up Quorvel Launcher with this key"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Hot key:"), keyNames);
    form->addRow(QStringLiteral("Held with:"), modifiers);
    form->addRow(QString(), switchedOn);

    status = new QLabel;
    status->setObjectName(QStringLiteral("hotKeyStatus"));
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status->setMinimumHeight(64);
    desktopShortcut = new QPushButton(QStringLiteral("Add Shortcut to Desktop Settings"));
    desktopShortcut->hide();
    connect(desktopShortcut, &QPushButton::clicked, this, [this] { addDesktopShortcut(); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Apply | QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Apply)->setDefault(true);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] { apply(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("<b>The key that brings up Quorvel Launcher</b>")));
    layout->addLayout(form);
    layout->addWidget(status);
    layout->addWidget(desktopShortcut, 0, Qt::AlignLeft);
    layout->addWidget(buttons);
    setMinimumWidth(460);
}

void PreferencePaneWindow::load()
{
    UserDefaults defaults(ComponentContract::applicationIdentifier());
    showSettings(HotKeySettings::readFrom(defaults));
    if (!client.ensureRunning()) {
        showStatus({ QStringLiteral("unavailable"),
            QStringLiteral(
                "The hot-key component could not be started, so the hot key does nothing for now.") });
        return;
    }
    showStatus(client.status());
}

void PreferencePaneWindow::showSettings(const HotKeySettings& settings)
{
    keyNames->setCurrentText(settings.keyString());
    control->setChecked(settings.modifiers() & HotKeySettings::Control);
    alt->setChecked(settings.modifiers() & HotKeySettings::Alt);
    shift->setChecked(settings.modifiers() & HotKeySettings::Shift);
    super->setChecked(settings.modifiers() & HotKeySettings::Super);
    switchedOn->setChecked(settings.isSwitchedOn());
}

HotKeySettings PreferencePaneWindow::chosen() const
{
    qint64 modifiers = 0;
    if (control->isChecked())
        modifiers |= HotKeySettings::Control;
    if (alt->isChecked())
        modifiers |= HotKeySettings::Alt;
    if (shift->isChecked())
        modifiers |= HotKeySettings::Shift;
    if (super->isChecked())
        modifiers |= HotKeySettings::Super;
    return HotKeySettings(keyNames->currentText(), modifiers, switchedOn->isChecked());
}

void PreferencePaneWindow::apply()
{
    const HotKeySettings settings = chosen();
    if (const QString problem = HotKeySettings::problemWith(settings.keyString(), settings.modifiers());
        !problem.isEmpty()) {
        showStatus({ QStringLiteral("unavailable"), QStringLiteral("Not saved: %1.").arg(problem) });
        return;
    }
    showStatus(client.apply(settings));
}

void PreferencePaneWindow::addDesktopShortcut()
{
    if (GnomeCustomShortcut::add(chosen()))
        showStatus({ QStringLiteral("held"),
            QStringLiteral(
                "The desktop's own shortcut settings now run the launcher's wake-up command on %1.")
                .arg(chosen().text()) });
    else
        showStatus({ QStringLiteral("desktop-shortcut"),
            QStringLiteral("The desktop's settings did not take the shortcut. Bind this command by hand: %1")
                .arg(ComponentContract::wakeUpCommandLine()) });
}

void PreferencePaneWindow::showStatus(const HotKeyStatus& shown)
{
    status->setText(shown.message);
    const bool fine = shown.isHeld() || shown.state == QLatin1String("off");
    status->setStyleSheet(fine ? QStringLiteral("color: #1d6b32;") : QStringLiteral("color: #a3271f;"));
    desktopShortcut->setVisible(
        shown.state == QLatin1String("desktop-shortcut") && GnomeCustomShortcut::isOffered());
    followPendingStatus(shown);
}

void PreferencePaneWindow::followPendingStatus(const HotKeyStatus& shown)
{
    if (shown.state != QLatin1String("pending")) {
        statusPoll->stop();
        return;
    }
    if (statusPoll->isActive())
        return;
    pollDeadline = QDeadlineTimer(pendingLimit);
    statusPoll->start();
}

void PreferencePaneWindow::pollStatus()
{
    if (!pollDeadline.hasExpired()) {
        showStatus(client.status());
        return;
    }
    statusPoll->stop();
    showStatus({ QStringLiteral("unavailable"),
        QStringLiteral("The desktop has not answered about the hot key for %1 seconds, so it may do nothing. "
                       "Open this pane again later to see whether the desktop took it, or bind this command "
                       "in the desktop's keyboard settings: %2")
            .arg(std::chrono::duration_cast<std::chrono::seconds>(pendingLimit).count())
            .arg(ComponentContract::wakeUpCommandLine()) });
}

} // namespace quorvel
