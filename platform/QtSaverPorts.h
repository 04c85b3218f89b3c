#pragma once

#include "link/Link.h"
#include "ports/Cursor.h"
#include "ports/Timer.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace wendel {

// A window timer on a QTimer. Ticks repeat until the timer is disabled; an
// interval of 0 never ticks (a bare QTimer would tick on every pass of the
// event loop). Enabling, or changing the interval, starts the count afresh.
class QtTimer final : public Timer {
public:
    QtTimer(const char* name, std::function<void()> onTick);

    void SetEnabled(bool enabled) override;
    bool IsEnabled() const override { return enabled_; }
    void SetInterval(int milliseconds) override;
    int Interval() const override { return interval_; }

    const QTimer& Underlying() const { return timer_; }

private:
    void Update();

    QTimer timer_;
    bool enabled_ = false;
    int interval_ = 0;
};

// The cursor's show count, as the system keeps it for ShowCursor: visible
// while the count is 0 or more.
class QtCursor final : public Cursor {
public:
    void Show(bool visible) override;
    int Count() const { return count_; }

private:
    int count_ = 0;
};

// A link that is open to nobody: it takes every call and delivers nothing.
class SilentLink final : public Link {
public:
    void OpenDevice(const std::string&, const std::string&, int, int, int) override {}
    void SendCommand(const std::string&, const std::string&) override {}
    void SetMessageHandler(MessageHandler handler) override { handler_ = std::move(handler); }
    void SetConnectedHandler(ConnectedHandler) override {} // it never connects

private:
    MessageHandler handler_;
};

} // namespace wendel
