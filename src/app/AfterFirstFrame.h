#pragma once
// Runs a piece of work once a window has been drawn for the first time: queued behind that first
// paint, so that what the first frame does not need never holds it up. The work runs once; run()
// runs it at once when it has not run yet (the application ends first, say), and destroying this
// object drops it when it never ran.

#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

namespace quorvel {

class AfterFirstFrame final : public QObject {
public:
    AfterFirstFrame(QWidget* window, std::function<void()> work);
    ~AfterFirstFrame() override;

    // Runs the work now unless it ran already.
    void run();
    bool hasRun() const { return !work; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window;
    std::function<void()> work;
};

} // namespace quorvel
