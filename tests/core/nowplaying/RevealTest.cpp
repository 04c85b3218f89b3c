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

// A text longer than any label can show must not hold the saver for long:
// its reveal takes fewer steps the longer it is, growing by whole characters,
// and still ends on the whole text. Up to 256 characters it is one character
// a step.
TEST(Reveal, LongTextsKeepToABoundedNumberOfSteps)
{
    const std::pair<std::size_t, std::size_t> lengthAndSteps[] = {
        {256, 256}, {257, 255}, {1000, 65}, {30000, 2}, {100000, 1}};
    for (const auto& [length, stepCount] : lengthAndSteps) {
        SCOPED_TRACE(length);
        std::string text;
        for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
        FakeSaver rig;
        rig.saver.RevealSpeed = 0.25;
        rig.board.SetCaption(Label::Track, text);
        rig.saver.RevealTrack();

        const Captions& steps = rig.board.repaints[Label::Track];
        ASSERT_EQ(steps.size(), stepCount);
        EXPECT_EQ(steps.back(), text);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            EXPECT_EQ(text.compare(length - steps[i].size(), std::string::npos, steps[i]), 0);
            if (i > 0) {
                EXPECT_GT(steps[i].size(), steps[i - 1].size());
            }
            if (length == 256) {
                EXPECT_EQ(steps[i].size(), i + 1);
            }
        }
    }
}

} // namespace
} // namespace wendel
