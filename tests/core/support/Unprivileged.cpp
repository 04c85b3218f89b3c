#include "support/Unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>

namespace wendel::testing {

bool RunningAsRoot() { return geteuid() == 0; }

::testing::AssertionResult RunUnprivileged(const std::function<::testing::AssertionResult()>& check)
{
    if (!RunningAsRoot()) return check();
    constexpr uid_t kNobody = 65534;
    const pid_t child = fork();
    if (child < 0) return ::testing::AssertionFailure() << "fork failed";
    if (child == 0) {
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
        const ::testing::AssertionResult result = dropped ? check() : ::testing::AssertionFailure() << "cannot switch";
        if (!result) std::cerr << "as user " << kNobody << ": " << result.message() << std::endl;
        _exit(result ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "failed as user " << kNobody << " (its output above)";
}

} // namespace wendel::testing
