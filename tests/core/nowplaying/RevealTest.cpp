#include "fakes/FakeSaver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wendel {
namespace {

using testing::FakeSaver;
using Captions = std::vector<std::string>;

struct RevealRow {
    const char* name;
    Label label;
    void (WendelSaverMain::*routine)();
    std::string caption;
    Captions steps;    // the caption at each step's synchronous repaint
    bool visibleAfter;
};

TEST(Reveal, EachRoutineDrawsItsCaptionSequence)
{
    const std::string thirty = "abcdefghijklmnopqrstuvwxyz0123";
    Captions thirtySteps;
    for (std::size_t i = 1; i <= thirty.size(); ++i) thirtySteps.push_back(thirty.substr(30 - i));
    const RevealRow rows[] = {
        {"track", Label::Track, &WendelSaverMain::RevealTrack, "xyz", {"z", "yz", "xyz"}, true},
        {"thirty", Label::Track, &WendelSaverMain::RevealTrack, thirty, thirtySteps, true},
        {"artist", Label::ArtistAlbum, &WendelSaverMain::RevealArtistAlbum, "ab", {"b", "ab"}, true},
        {"next, one character", Label::NextInfo, &WendelSaverMain::RevealNextInfo, "Q", {"Q"}, true},
        {"next, empty", Label::NextInfo, &WendelSaverMain::RevealNextInfo, "", {}, true},
        // Characters, not bytes: each of these accented letters is two bytes.
        {"characters", Label::Track, &WendelSaverMain::RevealTrack, "\xC3\xA9t\xC3\xA9",
         {"\xC3\xA9", "t\xC3\xA9", "\xC3\xA9t\xC3\xA9"}, true},
        {"notice", Label::AlbumNotice, &WendelSaverMain::RevealAlbumNotice, "[Album]",
         {"[", "[A", "[Al", "[Alb", "[Albu", "[Album", "[Album]"}, true},
        {"erase", Label::AlbumNotice, &WendelSaverMain::EraseAlbumNotice, "[Album]",
         {"[Album", "[Albu", "[Alb", "[Al", "[A", "[", ""}, false},
        {"erase, empty", Label::AlbumNotice, &WendelSaverMain::EraseAlbumNotice, "", {}, false},
    };
    for (const RevealRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakeSaver rig;
        rig.saver.RevealSpeed = 0.25;
        rig.board.SetCaption(row.label, row.caption);
        rig.board.SetVisible(row.label, !row.visibleAfter); // reveals start hidden, erases shown
        rig.board.captionHistory.clear();
        (rig.saver.*row.routine)();

        EXPECT_EQ(rig.board.repaints[row.label], row.steps);
        EXPECT_EQ(rig.board.captionHistory[row.label].front(), ""); // emptied before the first step
        EXPECT_EQ(rig.board.IsVisible(row.label), row.visibleAfter);
        EXPECT_EQ(rig.board.Caption(row.label), row.caption); // an erase puts its caption back
    }
}

} // namespace
} // namespace wendel
