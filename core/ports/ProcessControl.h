#pragma once

namespace wendel {

// Ends the process at once: no window close logic runs afterwards.
class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    [[noreturn]] virtual void Exit(int status) = 0;
};

} // namespace wendel
