#pragma once

#include "ports/Clock.h"
#include "ports/ProcessControl.h"

#include <functional>

namespace wendel {

class QtClock final : public Clock {
public:
    LocalDateTime Now() const override;
};

// Ends the process without unwinding: no window's close logic runs. The hook
// runs first, to release what must not outlive us (the instance lock).
class QtProcessControl final : public ProcessControl {
public:
    explicit QtProcessControl(std::function<void()> beforeExit = {});
    [[noreturn]] void Exit(int status) override;

private:
    std::function<void()> beforeExit_;
};

} // namespace wendel
