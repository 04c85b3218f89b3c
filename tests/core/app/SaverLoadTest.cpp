#include "fakes/FakeSaver.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace wendel {
namespace {

using testing::FakeSaver;
using testing::LinkCall;
using Strings = std::vector<std::string>;

// A saver over fakes reading a real settings file, with the labels shown at start.
struct LoadRig {
    explicit LoadRig(const std::string& settingsText)
    {
        testing::WriteBytes(file, settingsText);
        rig.board.SetVisible(Label::Caption_Upnext, true);
        rig.board.SetVisible(Label::NoPLX, true);
    }
    testing::TempFolder dir;
    std::string file = dir.File("wendelsaver.ini");
    FakeSaver rig{file};
};

// Only OFF, in any letter case, turns the backdrop off (the dialog's rule too). Mouse moves never end
// the saver; a press or a key does, with the cursor shown once and the notifications left on.
TEST(SaverLoad, RunsItsStepsInOrderThenAPressOrAKeyEnds)
{
    const std::tuple<const char*, bool, Picture, Picture, bool> rows[] = { // line, backdrop, header, footer, heard
        {"Custom Look = 3\r\nOverlap = 2\r\nBackground = ON", true, Picture::Header2, Picture::Footer2, false},
        {"Background = oFf", false, Picture::DefaultHeader, Picture::DefaultFooter, false},
        {"Background = O?N", true, Picture::DefaultHeader, Picture::DefaultFooter, true},
        {"Custom Look = 2", true, Picture::Header1, Picture::Footer1, false},
        {"Custom Look = 4", true, Picture::Header3, Picture::Footer3, false},
        {"Custom Look = 0", true, Picture::DefaultHeader, Picture::DefaultFooter, false},
        {"Custom Look = 5", true, Picture::DefaultHeader, Picture::DefaultFooter, false},
    };
    for (const auto& [line, backdrop, header, footer, heard] : rows) {
        SCOPED_TRACE(line);
        LoadRig load(line);
        FakeSaver& rig = load.rig;
        rig.saver.LinkHeard = true; // stale state that loading must reset
        rig.saver.WantCurrentEntry = false;
        rig.saver.IsPlaying = true;
        // What each link call finds done, to pin every step between its neighbours.
        Strings seen;
        const auto note = [&](const std::string& what) {
            seen.push_back(what + (rig.saver.Settings().Overlap == 2000.0f ? " ms" : "") +
                           (rig.cursor.calls == std::vector<bool>{!backdrop} ? " cursor" : "") +
                           (rig.board.IsVisible(header) ? " look" : "") +
                           (rig.saver.RevealSpeed == 0.25 ? " speed" : "") +
                           (rig.board.IsVisible(Label::Caption_Upnext) ? "" : " NoPLX-test"));
        };
        rig.link.onOpen = [&](const std::string& device) {
            note(device);
            if (heard && device == "plxr") rig.link.Deliver("plxr", "hello");
        };
        rig.link.onSend = note;
        rig.saver.FormLoad();
        const std::string done = " ms cursor look speed", sent = heard ? done : done + " NoPLX-test";
        EXPECT_EQ(seen, (Strings{"plx" + done, "plxr" + done, "notify_playing_item[on]" + sent,
                                 "notify_playing_timecode[on]" + sent}));
        EXPECT_EQ(rig.link.calls, (std::vector<LinkCall>{{"OpenDevice", "plx", "type=devtx", 1, 1, 0},
                                                         {"OpenDevice", "plxr", "type=devrx", 1, 1, 0},
                                                         {"SendCommand", "plx", "notify_playing_item[on]"},
                                                         {"SendCommand", "plx", "notify_playing_timecode[on]"}}));
        EXPECT_EQ(rig.board.backdropsShown, backdrop ? 1 : 0);
        EXPECT_EQ(rig.board.pictureVisibilityHistory,
                  (std::vector<std::pair<Picture, bool>>{{header, true}, {footer, true}}));
        EXPECT_EQ(rig.board.IsVisible(Label::NoPLX), !heard);
        EXPECT_EQ(rig.board.IsVisible(Label::Caption_Upnext), heard);
        rig.cursor.calls.clear();
        rig.link.calls.clear();
        for (int i = 0; i < 50; ++i) rig.saver.FormMouseMove();
        EXPECT_EQ(rig.process.exitCalls, 0);
        (rig.saver.*(backdrop ? &WendelSaverMain::FormKeyDown : &WendelSaverMain::FormMouseDown))();
        EXPECT_EQ(rig.cursor.calls, std::vector<bool>{true});
        EXPECT_EQ(rig.process.exitStatus, 0);
        EXPECT_TRUE(rig.link.calls.empty());
        // The reset state: the first message still counts as the first; a pointer asks for the playing entry.
        rig.link.Deliver("plxr", "playlist_pointer[4]");
        EXPECT_FALSE(rig.board.IsVisible(Label::NoPLX));
        EXPECT_EQ(rig.link.Commands(), Strings{"playlist_getitem[ 4]"});
        rig.link.Deliver("plxr", "playlist_play[]");
        EXPECT_TRUE(rig.board.IsVisible(Picture::Play)); // it was not playing
    }
}

} // namespace
} // namespace wendel
