#pragma once
// One request to the desktop portal: the method call, and its answer, which the portal sends
// later as the Response signal of a Request object it names. Tells exactly one of: answered (the
// Response, its results as sent) or failed (the call was refused, or the Response was not of the
// form "ua{sv}"). A portal that has said nothing after the patience given is reported once as
// silent; the request keeps listening, as the desktop may still be waiting for the user.

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <chrono>

class QDBusPendingCallWatcher;

namespace quorvel {

class PortalRequest final : public QObject {
    Q_OBJECT
public:
    // Sends call, whose options (its last argument) must carry handle_token = token.
    PortalRequest(const QDBusMessage& call, const QString& token, std::chrono::milliseconds patience);
    ~PortalRequest() override;

    // Where the portal answers a request of this token from this connection.
    static QString expectedPath(const QString& token);

Q_SIGNALS:
    void answered(uint response, const QVariantMap& results);
    void failed(const QString& reason);
    void silent();

private Q_SLOTS:
    void responded(const QDBusMessage& response);

private:
    void listenAt(const QString& path);
    void stopListening();
    void callReturned(QDBusPendingCallWatcher* watcher);
    void finish();

    QStringList listenedPaths;
    QTimer patienceTimer;
    bool finished = false;
};

} // namespace quorvel
