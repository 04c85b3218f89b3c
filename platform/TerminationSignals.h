#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace wendel {

// SIGTERM and SIGHUP, read from a signalfd on the event loop: no code runs
// inside a signal handler. BlockTerminationSignals() must come before any
// thread starts (before QApplication), so no thread takes them the default
// way.
void BlockTerminationSignals();

class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals() override;

private:
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> onSignal_;
};

} // namespace wendel
