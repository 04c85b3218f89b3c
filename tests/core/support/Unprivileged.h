#pragma once

#include <gtest/gtest.h>

#include <functional>

namespace wendel::testing {

// Runs `check` where file permissions bite. Root reads and writes through
// any mode bits, so as root the check runs in a forked child that has become
// the unprivileged user 65534 (nobody); otherwise it runs in this process.
// Files the check uses must sit in a folder that user can enter, such as a
// TempFolder. The child reports through its exit status and a pipe, so the
// check must return its verdict rather than use EXPECT/ASSERT.
::testing::AssertionResult RunUnprivileged(const std::function<::testing::AssertionResult()>& check);

bool RunningAsRoot();

} // namespace wendel::testing
