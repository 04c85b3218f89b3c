#pragma once

#include "ports/ProcessControl.h"

namespace wendel::testing {

// Thrown in place of ending the process, so a test can see that the code
// under test asked for the end and that nothing after it ran.
struct ProcessExited {
    int status;
};

class FakeProcess final : public ProcessControl {
public:
    [[noreturn]] void Exit(int status) override
    {
        ++exitCalls;
        throw ProcessExited{status};
    }
    int exitCalls = 0;
};

} // namespace wendel::testing
