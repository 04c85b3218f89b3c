#include "app/Startup.h"

#include "fakes/FakeMessageBoxes.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace wendel {
namespace {

struct FakeStartupHost final : StartupHost {
    bool AnotherInstanceRunning() override { return anotherInstance; }
    bool OpenSetupDialog() override { return !(opened += "setup").empty(); }
    bool OpenSaver() override { return !(opened += "saver").empty(); }
    bool anotherInstance = false;
    std::string opened;
};

// The switch is read from the arguments joined as one command line, the way
// the classic host passed it: an empty first argument leaves a blank in front.
TEST(Startup, ArgumentsChooseTheWindow)
{
    const std::string huge = "/s" + std::string(100000, 'x');
    // the arguments after the program name, the switch, the window opened (none: the program ends at once)
    const std::tuple<std::vector<const char*>, const char*, const char*> rows[] = {
        {{}, "/C", "setup"}, {{""}, "/C", "setup"}, {{"/c"}, "/C", "setup"}, {{"/C"}, "/C", "setup"},
        {{"/c:1234"}, "/C", "setup"}, {{"/c:", "1234", "x"}, "/C", "setup"}, {{"/s"}, "/S", "saver"},
        {{"/S", "extra", "words"}, "/S", "saver"}, {{huge.c_str()}, "/S", "saver"}, {{"/a"}, "/A", ""},
        {{"/p"}, "/P", ""}, {{"/p", "4711"}, "/P", ""}, {{"-s"}, "-S", ""}, {{" /s"}, " /", ""},
        {{"", "/c"}, " /", ""}, {{"/", "s"}, "/ ", ""}, {{"/"}, "/", ""}, {{"s"}, "S", ""}, {{"/x"}, "/X", ""},
        {{"/{"}, "/{", ""}, {{"/`"}, "/`", ""},
        {{"\xC3\xA9/s"}, "\xC3\xA9/", ""}, // two characters, the first of two bytes
    };
    for (const auto& [args, switchText, opened] : rows) {
        std::vector<const char*> argv{"wendelsaver"};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::string commandLine = JoinArguments(static_cast<int>(argv.size()), argv.data());
        SCOPED_TRACE(commandLine.substr(0, 20));
        EXPECT_EQ(FormSwitch(commandLine), switchText);
        for (const bool another : {false, true}) { // a second instance ends whatever its switch
            FakeStartupHost host;
            host.anotherInstance = another;
            testing::FakeMessageBoxes boxes;
            EXPECT_EQ(RunStartup(commandLine, host, boxes), !another && *opened);
            EXPECT_EQ(host.opened, another ? "" : opened);
            const std::vector<testing::FakeMessageBoxes::Box> box{{"Password not support in this version",
                                                                   "WendelServer Screensaver",
                                                                   MessageIcon::Exclamation, MessageButtons::Ok}};
            EXPECT_EQ(boxes.Shown(), !another && std::string(switchText) == "/A" ? box : decltype(box){});
        }
    }
}

} // namespace
} // namespace wendel
