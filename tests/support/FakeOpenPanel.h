#pragma once
// An open panel that shows nothing: it records what was asked for and answers a chosen path.

#include "platform/widgets/OpenPanel.h"

#include <vector>

namespace quorvel::test {

class FakeOpenPanel final : public OpenPanel {
public:
    FakeOpenPanel() { OpenPanel::setSharedOpenPanel(this); }
    ~FakeOpenPanel() override { OpenPanel::setSharedOpenPanel(nullptr); }

    bool runModal(Choose what) override
    {
        asked.push_back(what);
        mode = what;
        chosen = answer;
        return !answer.isEmpty();
    }

    QString answer; // "" for a panel the user cancelled
    std::vector<Choose> asked;
};

} // namespace quorvel::test
