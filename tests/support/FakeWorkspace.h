#pragma once
// A workspace that opens nothing and records every call, answering a chosen success flag and,
// on failure, a chosen reason.

#include "platform/desktop/Workspace.h"

#include <QStringList>
#include <functional>
#include <vector>

namespace quorvel::test {

class FakeWorkspace final : public Workspace {
public:
    struct Call {
        QString operation; // "openFile", "launchApplication", "selectFileInFileViewerRootedAtPath",
                           // "iconForFile", "openURL"
        QString path; // the path, or the URL; for the viewer: the file to select
        QString root; // the viewer's root folder; empty otherwise
    };

    FakeWorkspace() { Workspace::setSharedWorkspace(this); }
    ~FakeWorkspace() override { Workspace::setSharedWorkspace(nullptr); }

    bool openFile(const QString& path, QString* whyNot = nullptr) override
    {
        return record({ "openFile", path, {} }, whyNot);
    }
    bool launchApplication(const QString& path, QString* whyNot = nullptr) override
    {
        return record({ "launchApplication", path, {} }, whyNot);
    }
    bool selectFileInFileViewerRootedAtPath(
        const QString& file, const QString& root, QString* whyNot = nullptr) override
    {
        return record({ "selectFileInFileViewerRootedAtPath", file, root }, whyNot);
    }
    QIcon iconForFile(const QString& path) override
    {
        record({ "iconForFile", path, {} });
        return icon;
    }
    bool openURL(const QUrl& url, QString* whyNot = nullptr) override
    {
        return record({ "openURL", url.toString(), {} }, whyNot);
    }

    // Calls other than iconForFile, which the panel makes on every selection.
    std::vector<Call> opened() const
    {
        std::vector<Call> result;
        for (const Call& call : calls)
            if (call.operation != QLatin1String("iconForFile"))
                result.push_back(call);
        return result;
    }

    std::vector<Call> calls;
    bool succeed = true;
    QString failureReason = QStringLiteral("The file no longer exists.");
    QIcon icon;
    // Runs at each call, before it is answered (to look at the world at that moment).
    std::function<void(const Call&)> onCall;

private:
    bool record(Call call, QString* whyNot = nullptr)
    {
        if (onCall)
            onCall(call);
        calls.push_back(std::move(call));
        if (!succeed && whyNot)
            *whyNot = failureReason;
        return succeed;
    }
};

} // namespace quorvel::test
