#include "platform/widgets/Alert.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

struct SeenBox {
    QString title;
    QString text;
    QString informative;
    QStringList buttons;
    QString defaultButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Once the alert's box is up, notes what it shows and clicks the button with that label.
void clickWhenShown(const QString& label, SeenBox& seen)
{
    QTimer::singleShot(50, [label, &seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            clickWhenShown(label, seen);
            return;
        }
        seen = { box->windowTitle(), box->text(), box->informativeText(), {}, {}, box->icon() };
        for (QAbstractButton* button : box->buttons())
            seen.buttons << button->text();
        if (box->defaultButton())
            seen.defaultButton = box->defaultButton()->text();
        for (QAbstractButton* button : box->buttons())
            if (button->text() == label)
                button->click();
    });
}

} // namespace

TEST(Alert, ShowsTheTextsAndAnswersTheIndexOfTheChosenButton)
{
    QApplication::setApplicationDisplayName("Quorvel Launcher");
    SeenBox seen;
    clickWhenShown("Cancel", seen);
    const Alert::Answer answer = Alert::sharedAlert().run(
        Alert::Style::Critical, "Remove the old release?", "It is no longer needed.", { "Remove", "Cancel" });
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(seen.title, "Quorvel Launcher");
    EXPECT_EQ(seen.text, "Remove the old release?");
    EXPECT_EQ(seen.informative, "It is no longer needed.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_TRUE(seen.buttons.contains("Remove") && seen.buttons.contains("Cancel"));
    EXPECT_EQ(seen.defaultButton, "Remove");

    clickWhenShown("Remove", seen);
    EXPECT_EQ(Alert::sharedAlert().run(Alert::Style::Warning, "t", "m", { "Remove", "Cancel" }), 0);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
}
