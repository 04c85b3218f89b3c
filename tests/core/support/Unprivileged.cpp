#include "support/Unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace wendel::testing {

namespace {

constexpr int kPassed = 0;
constexpr int kFailed = 1;
constexpr int kCannotDropPrivileges = 2;
constexpr uid_t kNobody = 65534;

[[noreturn]] void RunChild(int reportFd, const std::function<::testing::AssertionResult()>& check)
{
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
        _exit(kCannotDropPrivileges);
    }
    const ::testing::AssertionResult result = check();
    const std::string message = result.message();
    ssize_t written = write(reportFd, message.data(), message.size());
    (void)written; // the exit status carries the verdict either way
    close(reportFd);
    _exit(result ? kPassed : kFailed);
}

std::string ReadAll(int fd)
{
    std::string text;
    char buffer[4096];
    for (ssize_t count; (count = read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return text;
}

} // namespace

bool RunningAsRoot() { return geteuid() == 0; }

::testing::AssertionResult RunUnprivileged(const std::function<::testing::AssertionResult()>& check)
{
    if (!RunningAsRoot()) return check();

    int fds[2];
    if (pipe(fds) != 0) return ::testing::AssertionFailure() << "pipe failed";
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return ::testing::AssertionFailure() << "fork failed";
    }
    if (child == 0) {
        close(fds[0]);
        RunChild(fds[1], check);
    }
    close(fds[1]);
    const std::string message = ReadAll(fds[0]);
    close(fds[0]);

    int status = 0;
    if (waitpid(child, &status, 0) != child) return ::testing::AssertionFailure() << "waitpid failed";
    if (!WIFEXITED(status)) return ::testing::AssertionFailure() << "child died: " << status;
    switch (WEXITSTATUS(status)) {
    case kPassed:
        return ::testing::AssertionSuccess();
    case kCannotDropPrivileges:
        return ::testing::AssertionFailure() << "cannot become user " << kNobody;
    default:
        return ::testing::AssertionFailure() << "as user " << kNobody << ": " << message;
    }
}

} // namespace wendel::testing
