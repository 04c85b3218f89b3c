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

using testing::FakeClock;
using testing::FakeMessageBoxes;
using testing::FakeProcess;
using testing::FakeSetupView;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

class SetupTest : public ::testing::Test {
protected:
    // Opens the dialog over a settings file holding `lines` (no file for nullopt).
    void Open(const std::optional<std::string>& fileText)
    {
        if (fileText) WriteBytes(iniPath, *fileText);
        setup.Load();
    }

    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& box : boxes.shown) texts.push_back(box.text);
        return texts;
    }

    std::string FileText() const { return ReadBytes(iniPath); }

    // What the user does: change the control, then its Change event runs.
    void TypeOverlap(const std::string& text)
    {
        view.overlapText = text;
        setup.OverlapInputChanged();
    }
    void MoveOverlapScroller(int value)
    {
        view.overlapScroller = value;
        setup.OverlapScrollerChanged();
    }

    TempFolder dir;
    std::string iniPath = dir.File("wendelsaver.ini");
    FakeSetupView view;
    FakeMessageBoxes boxes;
    FakeClock clock;
    FakeProcess process;
    WendelSetup setup{view, boxes, clock, process, iniPath};
};

const std::string kInvalidEntry = "Overlap has a value between 0 and 12";

TEST_F(SetupTest, MissingFileOpensWithDefaultsAfterItsMessage)
{
    Open(std::nullopt);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"INI file not found, contining with default settings"});
    EXPECT_EQ(view.look, 1);
    EXPECT_EQ(view.shownLookImage, 1);
    EXPECT_EQ(view.overlapText, "2");
    EXPECT_EQ(view.overlapScroller, 2);
    EXPECT_TRUE(view.backgroundOn);
    EXPECT_EQ(view.defaultImage, "No Default Image Selected");
    EXPECT_EQ(process.exitCalls, 0);
}

struct LoadedOverlap {
    const char* fileValue;
    const char* text;
    int scroller;
    bool invalidEntryBox;
};

TEST_F(SetupTest, OverlapFromFileEndsInTextAndScroller)
{
    const LoadedOverlap rows[] = {
        {"2", "2", 2, false},     {"0", "0", 0, false},       {"-3", "0", 0, false},
        {"1.5", "2", 2, false},   {"2.5", "2", 2, false},     {"12", " 12", 12, false},
        {"20", "12", 12, true},   {"1E30", "12", 12, true},   {"abc", "0", 0, false},
        {"7", "7", 7, false},
    };
    for (const LoadedOverlap& row : rows) {
        SCOPED_TRACE(row.fileValue);
        FakeSetupView freshView;
        FakeMessageBoxes freshBoxes;
        WriteBytes(iniPath, std::string("Overlap = ") + row.fileValue + "\r\n");
        WendelSetup dialog(freshView, freshBoxes, clock, process, iniPath);
        dialog.Load();
        EXPECT_EQ(freshView.overlapText, row.text);
        EXPECT_EQ(freshView.overlapScroller, row.scroller);
        EXPECT_EQ(freshBoxes.shown.size(), row.invalidEntryBox ? 1u : 0u);
        if (row.invalidEntryBox) {
            EXPECT_EQ(freshBoxes.shown[0].text, kInvalidEntry);
            EXPECT_EQ(freshBoxes.shown[0].title, "Invalid Entry");
            EXPECT_EQ(freshBoxes.shown[0].icon, MessageIcon::Exclamation);
        }
    }
}

struct LoadedLook {
    const char* fileValue;
    int scroller;
    int preview;
};

TEST_F(SetupTest, LookFromFileChoosesScrollerAndPreview)
{
    const LoadedLook rows[] = {{"1", 1, 1}, {"2", 2, 2}, {"3", 3, 3}, {"4", 4, 4},
                               {"0", 1, 1}, {"5", 1, 1}, {"99", 1, 1}, {"-1", 1, 1}};
    for (const LoadedLook& row : rows) {
        SCOPED_TRACE(row.fileValue);
        FakeSetupView freshView;
        WriteBytes(iniPath, std::string("Custom Look = ") + row.fileValue + "\r\n");
        WendelSetup dialog(freshView, boxes, clock, process, iniPath);
        dialog.Load();
        EXPECT_EQ(freshView.look, row.scroller);
        EXPECT_EQ(freshView.shownLookImage, row.preview);
    }
}

TEST_F(SetupTest, LookOutOfRangeIsWrittenAsLookOne)
{
    Open("Custom Look = 9\r\n");
    setup.OkClicked();
    EXPECT_NE(FileText().find("Custom Look = 1\r\n"), std::string::npos);
}

TEST_F(SetupTest, BackgroundAndDefaultImageFromFile)
{
    struct Row {
        const char* file;
        bool on;
        const char* image;
    } const rows[] = {
        {"Background = OFF\r\n", false, "No Default Image Selected"},
        {"Background = off\r\n", false, "No Default Image Selected"},
        {"Background = yes\r\n", true, "No Default Image Selected"},
        {"Background = ON\r\nDefault Image = /pics/a=b.jpg\r\n", true, "/pics/a=b.jpg"},
        {"Default Image =\r\n", true, "No Default Image Selected"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        FakeSetupView freshView;
        freshView.backgroundOn = !row.on;
        WriteBytes(iniPath, row.file);
        WendelSetup dialog(freshView, boxes, clock, process, iniPath);
        dialog.Load();
        EXPECT_EQ(freshView.backgroundOn, row.on);
        EXPECT_EQ(freshView.defaultImage, row.image);
    }
}

struct TypedOverlap {
    std::string typed;
    int scrollerBefore;
    std::string text;
    int scroller;
    bool box;
};

TEST_F(SetupTest, OverlapCheckLeavesBoxAndScrollerAgreeing)
{
    const TypedOverlap rows[] = {
        {"13", 5, "12", 12, true},
        {"-1", 5, "0", 0, true},
        {"7.5", 5, "8", 8, false},
        {"11.5", 5, "12", 12, false},
        {"2.5", 5, "2", 2, false},
        {"abc", 5, "0", 0, false},
        {"", 5, "0", 0, false},
        {" 9", 5, "9", 9, false},
        {std::string(5000, '9'), 5, "12", 12, true},
        {std::string(5000, 'x'), 5, "0", 0, false},
        {"3" + std::string(4999, 'x'), 5, "3", 3, false},
        // A text read as 0 while the bar already stands at 0 is left as typed.
        {"abc", 0, "abc", 0, false},
    };
    for (const TypedOverlap& row : rows) {
        SCOPED_TRACE(row.typed.substr(0, 20));
        view.overlapScroller = row.scrollerBefore;
        boxes.shown.clear();
        TypeOverlap(row.typed);
        EXPECT_EQ(view.overlapText, row.text);
        EXPECT_EQ(view.overlapScroller, row.scroller);
        EXPECT_EQ(boxes.shown.size(), row.box ? 1u : 0u);
    }
}

TEST_F(SetupTest, ScrollersDriveTextAndPreview)
{
    Open("Overlap = 11\r\nCustom Look = 1\r\n");
    MoveOverlapScroller(12);
    EXPECT_EQ(view.overlapText, "12");

    view.look = 2;
    setup.LookScrollerChanged();
    EXPECT_EQ(view.shownLookImage, 2);
}

TEST_F(SetupTest, OkWritesTheControlsThenEnds)
{
    Open("Custom Look = 2\r\n");
    view.look = 4;
    MoveOverlapScroller(12);
    view.backgroundOn = false;
    boxes.onShow = [this](const MessageBoxRequest&) { ADD_FAILURE() << "no box expected"; };
    setup.OkClicked();

    EXPECT_EQ(FileText(), "'WendelSaver INI file 2026-12-06 - 09:07:18\r\n"
                          "Custom Look = 4\r\n"
                          "Overlap = 12\r\n"
                          "Background = OFF\r\n"
                          "Default Image =\r\n"
                          "Do Not Edit This File!!!\r\n");
    EXPECT_EQ(process.exitStatus, 0);
}

TEST_F(SetupTest, OkStillEndsWhenTheFileCannotBeWritten)
{
    WendelSetup dialog(view, boxes, clock, process, dir.File("missing/wendelsaver.ini"));
    dialog.Load();
    boxes.shown.clear();
    dialog.OkClicked();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unknown INI file error  76, settings not saved."});
    EXPECT_EQ(process.exitStatus, 0);
}

TEST_F(SetupTest, CancelAsksAndOnlyYesEnds)
{
    const std::string original = "Custom Look = 3\r\n";
    Open(original);
    view.look = 4;

    boxes.answers = {MessageAnswer::No};
    setup.CancelClicked();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Changes will not be saved. Do you want to continue?");
    EXPECT_EQ(boxes.shown[0].title, "Cancel Changes");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(process.exitCalls, 0);
    EXPECT_EQ(view.look, 4);

    boxes.answers = {MessageAnswer::Yes};
    setup.CancelClicked();
    EXPECT_EQ(process.exitStatus, 0);
    EXPECT_EQ(FileText(), original);
}

TEST_F(SetupTest, ClosingEndsWithoutWritingOrAsking)
{
    const std::string original = "Overlap = 3\r\n";
    Open(original);
    MoveOverlapScroller(9);
    setup.CloseRequested();
    EXPECT_EQ(process.exitStatus, 0);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(FileText(), original);
}

} // namespace
} // namespace wendel
