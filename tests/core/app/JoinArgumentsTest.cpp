#include "app/Startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wendel {
namespace {

// The switch is read from the arguments joined as one command line, the way
// the classic host passed it: an empty first argument leaves a blank in front.
TEST(JoinArguments, JoinsWithOneBlankAfterTheProgramName)
{
    const std::string huge = "/x" + std::string(100000, 'x');
    const struct {
        std::vector<const char*> args; // after the program name
        std::string line;
    } rows[] = {
        {{}, ""},
        {{""}, ""},
        {{"", "/c"}, " /c"},
        {{"/p", "1234"}, "/p 1234"},
        {{" /s"}, " /s"},
        {{huge.c_str()}, huge},
    };
    for (const auto& row : rows) {
        std::vector<const char*> argv{"wendelsaver"};
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        EXPECT_EQ(JoinArguments(static_cast<int>(argv.size()), argv.data()), row.line) << row.line.substr(0, 20);
    }
}

} // namespace
} // namespace wendel
