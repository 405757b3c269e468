#pragma once
// A notification service that shows nothing and records what was posted.

#include "platform/desktop/Notification.h"

#include <vector>

namespace quorvel::test {

class FakeNotification final : public Notification {
public:
    struct Posted {
        QString summary;
        QString body;
    };

    FakeNotification() { Notification::setSharedNotification(this); }
    ~FakeNotification() override { Notification::setSharedNotification(nullptr); }

    void post(const QString& summary, const QString& body) override { posted.push_back({ summary, body }); }

    std::vector<Posted> posted;
};

} // namespace quorvel::test
