#pragma once
// A child-process runner that runs nothing, records each call and answers a chosen exit status.

#include "platform/desktop/Task.h"

#include <vector>

namespace quorvel::test {

class FakeTask final : public Task {
public:
    struct Call {
        QString launchPath;
        QStringList arguments;
    };

    FakeTask() { Task::setSharedRunner(this); }
    ~FakeTask() override { Task::setSharedRunner(nullptr); }

    int launchAndWait(const QString& launchPath, const QStringList& arguments) override
    {
        calls.push_back({ launchPath, arguments });
        return exitStatus;
    }

    std::vector<Call> calls;
    int exitStatus = 0;
};

} // namespace quorvel::test
