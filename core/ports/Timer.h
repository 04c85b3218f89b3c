#pragma once

namespace wendel {

// A window timer. Its ticks reach the behaviour through the handler the
// platform wires it to; an interval of 0 never ticks, even when enabled.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() const = 0;
    virtual void SetInterval(int milliseconds) = 0;
    virtual int Interval() const = 0;
};

} // namespace wendel
