#pragma once

namespace wendel {

// Ends the process at once: no window close logic runs afterwards. The real
// one does not return; fakes do, so callers make it their last statement.
class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    virtual void Exit(int status) = 0;
};

} // namespace wendel
