#pragma once

#include <gtest/gtest.h>

#include <functional>

namespace wendel::testing {

// Runs `check` where file permissions bite: as root in a forked child that has
// become user 65534 (nobody), else in this process. Its files must sit where
// that user can enter, such as a TempFolder; it returns its verdict rather than
// use EXPECT/ASSERT, which a child could not report.
::testing::AssertionResult RunUnprivileged(const std::function<::testing::AssertionResult()>& check);

bool RunningAsRoot();

} // namespace wendel::testing
