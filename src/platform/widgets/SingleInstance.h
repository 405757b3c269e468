#pragma once
// One running instance per application identifier on the session bus: the first start claims the
// identifier as a bus name and exports a Reopen method under it; a later start calls that method
// and is told to exit. The same object answers org.freedesktop.Application (FreedesktopApplication),
// so that the bus can start the application by its name and have it activated. Without a session
// bus every start runs alone.

#include <QString>

#include <functional>
#include <memory>

class QObject;

namespace quorvel {

class FreedesktopApplication;

class SingleInstance final {
public:
    // reopen runs on context's thread each time a later start asks this instance to come forward,
    // after that start has had its answer; activate each time someone calls Activate.
    SingleInstance(QObject* context, std::function<void()> reopen, std::function<void()> activate);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Answers false when another instance of this identifier already runs (it has then been
    // asked to reopen). Otherwise this process is, or stays, the instance.
    bool become(const QString& applicationIdentifier);
    // Gives the name up, so that a new process of this application can become the instance while
    // this one is still ending (a restart).
    void release();

private:
    class ReopenObject;

    QObject* context;
    std::function<void()> reopen;
    std::unique_ptr<FreedesktopApplication> freedesktopApplication;
    std::unique_ptr<ReopenObject> reopenObject;
    QString identifier;
};

} // namespace quorvel
