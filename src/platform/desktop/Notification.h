#pragma once
// Telling the user of a failure that needs no answer (an open that failed): always a log line,
// and a desktop notification where the session has a notification server
// (org.freedesktop.Notifications). Posting never waits for the server.
// Tests replace the shared instance with a recording fake.

#include <QString>

namespace quorvel {

class Notification {
public:
    static Notification& sharedNotification();
    // Tests: use this instance instead (not owned); nullptr returns to the real one.
    static void setSharedNotification(Notification* notification);

    virtual ~Notification() = default;

    // summary is one line naming what went wrong; body says why. Both are plain text.
    virtual void post(const QString& summary, const QString& body);
};

} // namespace quorvel
