#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a normal end of the event loop, so that the hot-key
// component gives up its grabs and its pid file in order when quitHotKey.sh asks it to end.

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace quorvel {

class TerminationSignal final : public QObject {
    Q_OBJECT
public:
    TerminationSignal();
    ~TerminationSignal() override;

private:
    std::unique_ptr<QSocketNotifier> notifier;
};

} // namespace quorvel
