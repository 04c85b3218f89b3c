#pragma once

#include "ports/ProcessControl.h"

#include <optional>

namespace wendel::testing {

class FakeProcess final : public ProcessControl {
public:
    void Exit(int status) override
    {
        ++exitCalls;
        exitStatus = status;
    }
    int exitCalls = 0;
    std::optional<int> exitStatus;
};

} // namespace wendel::testing
