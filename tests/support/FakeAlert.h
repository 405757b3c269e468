#pragma once
// An alert presenter that shows nothing, records each alert and answers a chosen button.

#include "platform/widgets/Alert.h"

#include <vector>

namespace quorvel::test {

class FakeAlert final : public Alert {
public:
    struct Shown {
        Style style;
        QString title;
        QString message;
        QStringList buttons;
    };

    FakeAlert() { Alert::setSharedAlert(this); }
    ~FakeAlert() override { Alert::setSharedAlert(nullptr); }

    Answer run(Style style, const QString& title, const QString& message, const QStringList& buttons) override
    {
        shown.push_back({ style, title, message, buttons });
        return answer;
    }

    std::vector<Shown> shown;
    Answer answer = 0;
};

} // namespace quorvel::test
