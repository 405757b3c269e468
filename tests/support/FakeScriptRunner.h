#pragma once
// A script runner that runs nothing and records each script's source.

#include "platform/desktop/ScriptRunner.h"

#include <QStringList>

namespace quorvel::test {

class FakeScriptRunner final : public ScriptRunner {
public:
    FakeScriptRunner() { ScriptRunner::setSharedScriptRunner(this); }
    ~FakeScriptRunner() override { ScriptRunner::setSharedScriptRunner(nullptr); }

    bool executeSource(const QString& source) override
    {
        sources.append(source);
        return true;
    }

    QStringList sources;
};

} // namespace quorvel::test
