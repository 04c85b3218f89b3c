#include "setup/WendelSetup.h"

#include "fakes/FakeClock.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeProcess.h"
#include "fakes/FakeSetupView.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace wendel {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

struct SetupRig {
    // Opens the dialog over a settings file holding `fileText` (no file for nullopt).
    explicit SetupRig(const std::optional<std::string>& fileText)
    {
        if (fileText) WriteBytes(ini, *fileText);
        setup.Load();
    }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& box : boxes.shown) texts.push_back(box.text);
        return texts;
    }
    // What the user does: change the control, then its Change event runs.
    void TypeOverlap(const std::string& text)
    {
        view.overlapText = text;
        setup.OverlapInputChanged();
    }

    testing::TempFolder dir;
    std::string ini = dir.File("wendelsaver.ini");
    testing::FakeSetupView view;
    testing::FakeMessageBoxes boxes;
    testing::FakeClock clock;
    testing::FakeProcess process;
    WendelSetup setup{view, boxes, clock, process, ini};
};

const std::string kInvalidEntry = "Overlap has a value between 0 and 12";
const std::string kNotFound = "INI file not found, contining with default settings";

TEST(Setup, OpensWithTheControlsTheFileDescribes)
{
    struct Row {
        std::optional<std::string> file;
        int look, preview;
        const char* overlapText;
        int overlapScroller;
        bool background;
        const char* image;
        std::vector<std::string> boxes;
    };
    const char* none = kNoDefaultImagePlaceholder;
    const Row rows[] = {
        {std::nullopt, 1, 1, "2", 2, true, none, {kNotFound}},
        {"Overlap = 0", 1, 1, "0", 0, true, none, {}}, {"Overlap = -3", 1, 1, "0", 0, true, none, {}},
        {"Overlap = 1.5", 1, 1, "2", 2, true, none, {}}, {"Overlap = 2.5", 1, 1, "2", 2, true, none, {}},
        {"Overlap = 12", 1, 1, " 12", 12, true, none, {}}, {"Overlap = 7", 1, 1, "7", 7, true, none, {}},
        {"Overlap = 20", 1, 1, "12", 12, true, none, {kInvalidEntry}},
        {"Overlap = 1E30", 1, 1, "12", 12, true, none, {kInvalidEntry}},
        {"Overlap = abc", 1, 1, "0", 0, true, none, {}},
        {"Custom Look = 2", 2, 2, "2", 2, true, none, {}}, {"Custom Look = 3", 3, 3, "2", 2, true, none, {}},
        {"Custom Look = 4", 4, 4, "2", 2, true, none, {}}, {"Custom Look = 0", 1, 1, "2", 2, true, none, {}},
        {"Custom Look = 5", 1, 1, "2", 2, true, none, {}}, {"Custom Look = -1", 1, 1, "2", 2, true, none, {}},
        {"Background = OFF", 1, 1, "2", 2, false, none, {}}, {"Background = off", 1, 1, "2", 2, false, none, {}},
        {"Background = yes", 1, 1, "2", 2, true, none, {}}, {"Default Image =", 1, 1, "2", 2, true, none, {}},
        {"Default Image = /pics/a=b.jpg", 1, 1, "2", 2, true, "/pics/a=b.jpg", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file.value_or("no file"));
        SetupRig rig(row.file);
        EXPECT_EQ(rig.view.look, row.look);
        EXPECT_EQ(rig.view.shownLookImage, row.preview);
        EXPECT_EQ(rig.view.overlapText, row.overlapText);
        EXPECT_EQ(rig.view.overlapScroller, row.overlapScroller);
        EXPECT_EQ(rig.view.backgroundOn, row.background);
        EXPECT_EQ(rig.view.defaultImage, row.image);
        EXPECT_EQ(rig.BoxTexts(), row.boxes);
        EXPECT_EQ(rig.process.exitCalls, 0);
    }
}

TEST(Setup, OverlapCheckLeavesBoxAndScrollerAgreeing)
{
    struct Row {
        std::string typed;
        int scrollerBefore;
        std::string text;
        int scroller;
        bool box;
    };
    const Row rows[] = {
        {"13", 5, "12", 12, true}, {"12", 5, "12", 12, false}, {"-1", 5, "0", 0, true}, {"0", 5, "0", 0, false},
        {"7.5", 5, "8", 8, false}, {"11.5", 5, "12", 12, false}, {"2.5", 5, "2", 2, false},
        {"abc", 5, "0", 0, false}, {"", 5, "0", 0, false}, {" 9", 5, "9", 9, false},
        {std::string(5000, '9'), 5, "12", 12, true}, {std::string(5000, 'x'), 5, "0", 0, false},
        {"3" + std::string(4999, 'x'), 5, "3", 3, false},
        {"abc", 0, "abc", 0, false}, // read as 0 while the bar already stands at 0: left as typed
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed.substr(0, 20));
        SetupRig rig("Overlap = 3");
        rig.view.overlapScroller = row.scrollerBefore;
        rig.TypeOverlap(row.typed);
        EXPECT_EQ(rig.view.overlapText, row.text);
        EXPECT_EQ(rig.view.overlapScroller, row.scroller);
        EXPECT_EQ(rig.BoxTexts(), row.box ? std::vector<std::string>{kInvalidEntry} : std::vector<std::string>{});
        if (row.box) {
            EXPECT_EQ(rig.boxes.shown[0].title, "Invalid Entry");
        }
        if (row.box) {
            EXPECT_EQ(rig.boxes.shown[0].icon, MessageIcon::Exclamation);
        }
    }
}

TEST(Setup, OkWritesTheControlsThenEnds)
{
    SetupRig rig("Custom Look = 9\r\nOverlap = 11\r\n"); // a look out of range is written as look 1
    rig.view.overlapScroller = 12;
    rig.setup.OverlapScrollerChanged();
    EXPECT_EQ(rig.view.overlapText, "12");
    rig.view.backgroundOn = false;
    rig.setup.OkClicked();
    EXPECT_EQ(ReadBytes(rig.ini), "'WendelSaver INI file 2026-12-06 - 09:07:18\r\nCustom Look = 1\r\nOverlap = 12\r\n"
                                  "Background = OFF\r\nDefault Image =\r\nDo Not Edit This File!!!\r\n");
    EXPECT_TRUE(rig.boxes.shown.empty());
    EXPECT_EQ(rig.process.exitStatus, 0);

    // The file cannot be written: its box, and the dialog still ends.
    testing::FakeProcess process;
    WendelSetup dialog(rig.view, rig.boxes, rig.clock, process, rig.dir.File("missing/wendelsaver.ini"));
    dialog.OkClicked();
    EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{"Unknown INI file error  76, settings not saved."});
    EXPECT_EQ(process.exitStatus, 0);
}

TEST(Setup, CancelAsksAndOnlyYesEndsAndClosingEndsSilently)
{
    SetupRig rig("Custom Look = 3\r\n");
    rig.view.look = 4;
    rig.setup.LookScrollerChanged();
    EXPECT_EQ(rig.view.shownLookImage, 4);
    rig.boxes.answers = {MessageAnswer::No};
    rig.setup.CancelClicked();
    ASSERT_EQ(rig.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.boxes.shown[0].text, "Changes will not be saved. Do you want to continue?");
    EXPECT_EQ(rig.boxes.shown[0].title, "Cancel Changes");
    EXPECT_EQ(rig.boxes.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(rig.boxes.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(rig.process.exitCalls, 0);
    rig.setup.CancelClicked(); // Yes this time
    EXPECT_EQ(rig.process.exitStatus, 0);
    EXPECT_EQ(ReadBytes(rig.ini), "Custom Look = 3\r\n");

    SetupRig closing("Overlap = 3\r\n");
    closing.setup.CloseRequested();
    EXPECT_EQ(closing.process.exitStatus, 0);
    EXPECT_TRUE(closing.boxes.shown.empty());
    EXPECT_EQ(ReadBytes(closing.ini), "Overlap = 3\r\n");
}

} // namespace
} // namespace wendel
