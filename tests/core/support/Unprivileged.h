#pragma once

#include <gtest/gtest.h>

#include <functional>

namespace wendel::testing {

// Runs `check` where file permissions bite: as root in a forked child that has become
// user 65534 (nobody), else here. Its files must sit where that user can enter (a
// TempFolder); it returns its verdict, as a child cannot report an EXPECT.
::testing::AssertionResult RunUnprivileged(const std::function<::testing::AssertionResult()>& check);

bool RunningAsRoot();

} // namespace wendel::testing
