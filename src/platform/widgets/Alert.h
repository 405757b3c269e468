#pragma once
// Modal alert panels with fixed texts and one or two buttons. Tests replace the shared
// presenter with a fake that records what was shown and answers a chosen button.

#include <QString>
#include <QStringList>

namespace quorvel {

class Alert {
public:
    // Plain: the platform's ordinary alert panel, without the informational icon.
    enum class Style { Informational, Warning, Critical, Plain };
    // Index into the buttons of the alert that the user chose (0 = first button).
    using Answer = int;

    static Alert& sharedAlert();
    static void setSharedAlert(Alert* alert); // not owned; nullptr restores the real one

    virtual ~Alert() = default;

    // Shows a modal alert with exactly this title (the bold message text), message (the
    // informative text) and buttons, in this order; answers the chosen button's index.
    virtual Answer run(Style style, const QString& title, const QString& message, const QStringList& buttons);
};

} // namespace quorvel
