#include "setup/WendelSetup.h"

#include "fakes/FakeClock.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeProcess.h"
#include "fakes/FakeSetupView.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <optional>

namespace wendel {
namespace {

using testing::ReadBytes;
using Boxes = std::vector<testing::FakeMessageBoxes::Box>;

// The dialog opened over a settings file holding `fileText` (no file for nullopt).
struct SetupRig {
    explicit SetupRig(const std::optional<std::string>& fileText)
    {
        if (fileText) testing::WriteBytes(ini, *fileText);
        setup.Load();
    }
    testing::TempFolder dir;
    std::string ini = dir.File("wendelsaver.ini");
    testing::FakeSetupView view;
    testing::FakeMessageBoxes boxes;
    testing::FakeClock clock;
    testing::FakeProcess process;
    WendelSetup setup{view, boxes, clock, process, ini};
};

constexpr const char* kInvalidEntry = "Overlap has a value between 0 and 12";

TEST(Setup, OpensWithTheControlsTheFileDescribes)
{
    const char* none = kNoDefaultImagePlaceholder;
    // file (none: no file), look and its preview, overlap text and scroller, background, image, box ("": none)
    const std::tuple<std::optional<std::string>, int, const char*, int, bool, const char*, const char*> rows[] = {
        {std::nullopt, 1, "2", 2, true, none, "INI file not found, contining with default settings"},
        {"Overlap = 0", 1, "0", 0, true, none, ""}, {"Overlap = 1.5", 1, "2", 2, true, none, ""},
        {"Overlap = 12", 1, " 12", 12, true, none, ""}, {"Overlap = 7", 1, "7", 7, true, none, ""},
        {"Overlap = 1E30", 1, "12", 12, true, none, kInvalidEntry},
        {"Custom Look = 2", 2, "2", 2, true, none, ""}, {"Custom Look = 4", 4, "2", 2, true, none, ""},
        {"Custom Look = 0", 1, "2", 2, true, none, ""}, {"Custom Look = 5", 1, "2", 2, true, none, ""},
        {"Background = off", 1, "2", 2, false, none, ""}, {"Background = yes", 1, "2", 2, true, none, ""},
        {"Default Image =", 1, "2", 2, true, none, ""},
        {"Default Image = /pics/a=b.jpg", 1, "2", 2, true, "/pics/a=b.jpg", ""},
    };
    for (const auto& [file, look, overlapText, overlapScroller, background, image, box] : rows) {
        SCOPED_TRACE(file.value_or("no file"));
        SetupRig rig(file);
        const testing::FakeSetupView& v = rig.view;
        EXPECT_EQ(std::tie(v.look, v.shownLookImage, v.overlapText, v.overlapScroller, v.backgroundOn, v.defaultImage),
                  std::make_tuple(look, look, overlapText, overlapScroller, background, image));
        ASSERT_EQ(rig.boxes.shown.size(), *box ? 1u : 0u);
        for (const MessageBoxRequest& shown : rig.boxes.shown) EXPECT_EQ(shown.text, box);
    }
}

TEST(Setup, OverlapCheckLeavesBoxAndScrollerAgreeing)
{
    const std::tuple<std::string, int, std::string, int, bool> rows[] = { // typed, scroller before, text, scroller, box
        {"13", 5, "12", 12, true}, {"12", 5, "12", 12, false}, {"-1", 5, "0", 0, true}, {"0", 5, "0", 0, false},
        {"7.5", 5, "8", 8, false}, {"2.5", 5, "2", 2, false}, {"abc", 5, "0", 0, false},
        {std::string(5000, '9'), 5, "12", 12, true}, {std::string(5000, 'x'), 5, "0", 0, false},
        {"3" + std::string(4999, 'x'), 5, "3", 3, false},
        {"abc", 0, "abc", 0, false}, // read as 0 while the bar already stands at 0: left as typed
    };
    for (const auto& [typed, scrollerBefore, text, scroller, box] : rows) {
        SCOPED_TRACE(typed.substr(0, 20));
        SetupRig rig("Overlap = 3");
        rig.view.overlapScroller = scrollerBefore;
        rig.view.overlapText = typed;
        rig.setup.OverlapInputChanged();
        EXPECT_EQ(std::tie(rig.view.overlapText, rig.view.overlapScroller), std::tie(text, scroller));
        ASSERT_EQ(rig.boxes.shown.size(), box ? 1u : 0u);
        const MessageBoxRequest shown = box ? rig.boxes.shown[0] : MessageBoxRequest{};
        EXPECT_TRUE(!box || std::tie(shown.text, shown.title, shown.icon) ==
                                std::make_tuple(kInvalidEntry, "Invalid Entry", MessageIcon::Exclamation));
    }
}

TEST(Setup, OkWritesTheControlsThenEndsEvenWhenTheFileCannotBeWritten)
{
    SetupRig rig("Custom Look = 9\r\nOverlap = 11\r\n"); // a look out of range is written as look 1
    rig.view.overlapScroller = 12;
    rig.setup.OverlapScrollerChanged();
    EXPECT_EQ(rig.view.overlapText, "12");
    rig.view.backgroundOn = false;
    rig.setup.OkClicked();
    EXPECT_EQ(ReadBytes(rig.ini), ComposeSettingsFile({1, 12, false, kNoDefaultImagePlaceholder}, rig.clock.now));
    EXPECT_TRUE(rig.boxes.shown.empty());
    EXPECT_EQ(rig.process.exitStatus, 0);

    std::filesystem::remove_all(rig.dir.Path());
    rig.setup.OkClicked();
    EXPECT_EQ(rig.boxes.Shown(), (Boxes{{"Unknown INI file error  76, settings not saved.", "WendelSaver",
                                         MessageIcon::Information, MessageButtons::Ok}}));
    EXPECT_EQ(rig.process.exitCalls, 2);
}

TEST(Setup, CancelAsksAndOnlyYesEndsAndClosingEndsSilently)
{
    SetupRig rig("Custom Look = 3\r\n");
    rig.view.look = 4;
    rig.setup.LookScrollerChanged();
    EXPECT_EQ(rig.view.shownLookImage, 4);
    rig.setup.CloseRequested(); // without a word
    EXPECT_EQ(rig.process.exitStatus, 0);
    rig.boxes.answers = {MessageAnswer::No};
    rig.setup.CancelClicked();
    EXPECT_EQ(rig.boxes.Shown(), (Boxes{{"Changes will not be saved. Do you want to continue?", "Cancel Changes",
                                         MessageIcon::None, MessageButtons::YesNo}}));
    EXPECT_EQ(rig.process.exitCalls, 1);
    rig.setup.CancelClicked(); // Yes this time
    EXPECT_EQ(rig.process.exitCalls, 2);
    EXPECT_EQ(rig.process.exitStatus, 0);
    EXPECT_EQ(ReadBytes(rig.ini), "Custom Look = 3\r\n");
}

} // namespace
} // namespace wendel
