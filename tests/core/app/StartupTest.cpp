#include "app/Startup.h"

#include "fakes/FakeMessageBoxes.h"

#include <gtest/gtest.h>

namespace wendel {
namespace {

class FakeStartupHost final : public StartupHost {
public:
    bool AnotherInstanceRunning() override { return anotherInstance; }
    bool OpenSetupDialog() override
    {
        opened += "setup";
        return true;
    }
    bool OpenSaver() override
    {
        opened += "saver";
        return true;
    }
    bool anotherInstance = false;
    std::string opened;
};

TEST(Startup, CommandLineChoosesTheWindow)
{
    struct Row {
        const char* commandLine;
        const char* switchText;
        const char* opened; // nothing: the program ends at once
    };
    const Row rows[] = {
        {"", "/C", "setup"}, {"/c", "/C", "setup"}, {"/C", "/C", "setup"}, {"/c:1234", "/C", "setup"},
        {"/s", "/S", "saver"}, {"/S extra words", "/S", "saver"}, {"/a", "/A", ""}, {"/p", "/P", ""},
        {"/p 4711", "/P", ""}, {"-s", "-S", ""}, {" /s", " /", ""}, {"/", "/", ""}, {"s", "S", ""},
        {"/x", "/X", ""}, {"/{", "/{", ""}, {"/`", "/`", ""},
        {"\xC3\xA9/s", "\xC3\xA9/", ""}, // two characters, the first of two bytes
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.commandLine);
        EXPECT_EQ(FormSwitch(row.commandLine), row.switchText);
        for (const bool another : {false, true}) { // a second instance ends whatever its switch
            FakeStartupHost host;
            host.anotherInstance = another;
            testing::FakeMessageBoxes boxes;
            EXPECT_EQ(RunStartup(row.commandLine, host, boxes), !another && *row.opened);
            EXPECT_EQ(host.opened, another ? "" : row.opened);
            const bool password = !another && std::string(row.switchText) == "/A";
            ASSERT_EQ(boxes.shown.size(), password ? 1u : 0u);
            if (!password) continue;
            EXPECT_EQ(boxes.shown[0].text, "Password not support in this version");
            EXPECT_EQ(boxes.shown[0].title, "WendelServer Screensaver");
            EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Exclamation);
            EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
        }
    }
    const char* const argv[] = {"wendelsaver", "/c:", "1234", "x"};
    EXPECT_EQ(JoinArguments(4, argv), "/c: 1234 x");
    EXPECT_EQ(JoinArguments(1, argv), "");
}

} // namespace
} // namespace wendel
