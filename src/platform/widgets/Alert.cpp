#include "platform/widgets/Alert.h"

#include "platform/core/ReplaceableInstance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace quorvel {

namespace {

ReplaceableInstance<Alert> shared;

QMessageBox::Icon iconOf(Alert::Style style)
{
    switch (style) {
    case Alert::Style::Warning:
        return QMessageBox::Warning;
    case Alert::Style::Critical:
        return QMessageBox::Critical;
    case Alert::Style::Plain:
        return QMessageBox::NoIcon;
    case Alert::Style::Informational:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

Alert& Alert::sharedAlert()
{
    return shared.get();
}

void Alert::setSharedAlert(Alert* alert)
{
    shared.replace(alert);
}

Alert::Answer Alert::run(
    Style style, const QString& title, const QString& message, const QStringList& buttons)
{
    QMessageBox box;
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setIcon(iconOf(style));
    box.setText(title);
    box.setInformativeText(message);
    box.setWindowModality(Qt::ApplicationModal);

    // Every button is an accepting role: the box keeps our order and we answer by identity.
    // An alert always has a button to dismiss it, even when the caller gave none.
    const QStringList labels = buttons.isEmpty() ? QStringList { QStringLiteral("OK") } : buttons;
    std::vector<QAbstractButton*> added;
    for (const QString& label : labels)
        added.push_back(box.addButton(label, QMessageBox::AcceptRole));
    box.setDefaultButton(static_cast<QPushButton*>(added.front()));
    box.setEscapeButton(added.size() > 1 ? added.back() : added.front());

    box.exec();
    for (std::size_t i = 0; i < added.size(); ++i)
        if (box.clickedButton() == added[i])
            return static_cast<Answer>(i);
    return 0;
}

} // namespace quorvel
