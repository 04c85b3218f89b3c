#include "app/Startup.h"

#include "fakes/FakeMessageBoxes.h"

#include <gtest/gtest.h>

namespace wendel {
namespace {

using testing::FakeMessageBoxes;

class FakeStartupHost final : public StartupHost {
public:
    bool AnotherInstanceRunning() override { return anotherInstance; }
    bool OpenSetupDialog() override
    {
        ++setupOpened;
        return true;
    }
    bool OpenSaver() override
    {
        ++saverOpened;
        return true;
    }

    bool anotherInstance = false;
    int setupOpened = 0;
    int saverOpened = 0;
};

struct SwitchRow {
    const char* commandLine;
    const char* switchText;
    StartAction action;
};

TEST(Startup, CommandLineChoosesTheAction)
{
    const SwitchRow rows[] = {
        {"", "/C", StartAction::OpenSetup},
        {"/c", "/C", StartAction::OpenSetup},
        {"/C", "/C", StartAction::OpenSetup},
        {"/c:1234", "/C", StartAction::OpenSetup},
        {"/s", "/S", StartAction::OpenSaver},
        {"/S extra words", "/S", StartAction::OpenSaver},
        {"/a", "/A", StartAction::AnswerPassword},
        {"/p", "/P", StartAction::End},
        {"/p 4711", "/P", StartAction::End},
        {"-s", "-S", StartAction::End},
        {" /s", " /", StartAction::End},
        {"/", "/", StartAction::End},
        {"s", "S", StartAction::End},
        {"/x", "/X", StartAction::End},
        {"\xC3\xA9/s", "\xC3\xA9/", StartAction::End}, // two characters, the first of two bytes
    };
    for (const SwitchRow& row : rows) {
        SCOPED_TRACE(row.commandLine);
        EXPECT_EQ(FormSwitch(row.commandLine), row.switchText);
        EXPECT_EQ(ActionForSwitch(FormSwitch(row.commandLine)), row.action);
    }
}

TEST(Startup, OpensTheWindowTheSwitchAsksFor)
{
    FakeStartupHost host;
    FakeMessageBoxes boxes;
    EXPECT_TRUE(RunStartup("", host, boxes));
    EXPECT_TRUE(RunStartup("/s", host, boxes));
    EXPECT_EQ(host.setupOpened, 1);
    EXPECT_EQ(host.saverOpened, 1);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(Startup, PasswordSwitchAnswersWithItsBoxThenEnds)
{
    FakeStartupHost host;
    FakeMessageBoxes boxes;
    EXPECT_FALSE(RunStartup("/a", host, boxes));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Password not support in this version");
    EXPECT_EQ(boxes.shown[0].title, "WendelServer Screensaver");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
}

TEST(Startup, OtherSwitchesEndSilently)
{
    for (const char* line : {"/p", "-s", " /s", "/x"}) {
        FakeStartupHost host;
        FakeMessageBoxes boxes;
        EXPECT_FALSE(RunStartup(line, host, boxes)) << line;
        EXPECT_EQ(host.setupOpened + host.saverOpened, 0) << line;
        EXPECT_TRUE(boxes.shown.empty()) << line;
    }
}

TEST(Startup, SecondInstanceEndsWhateverItsSwitch)
{
    for (const char* line : {"", "/c", "/s", "/a"}) {
        FakeStartupHost host;
        host.anotherInstance = true;
        FakeMessageBoxes boxes;
        EXPECT_FALSE(RunStartup(line, host, boxes)) << line;
        EXPECT_EQ(host.setupOpened + host.saverOpened, 0) << line;
        EXPECT_TRUE(boxes.shown.empty()) << line;
    }
}

} // namespace
} // namespace wendel
