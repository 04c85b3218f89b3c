#include "fakes/FakeSaver.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace wendel {
namespace {

using Captions = std::vector<std::string>;
using Routine = void (WendelSaverMain::*)();

// Each step draws the caption so far; an erase ends hidden with its caption
// put back. Characters, not bytes: a stray continuation byte goes with the
// character before it.
TEST(Reveal, EachRoutineDrawsItsCaptionSequence)
{
    const std::tuple<Label, Routine, std::string, Captions> rows[] = {
        {Label::Track, &WendelSaverMain::RevealTrack, "xyz", {"z", "yz", "xyz"}},
        {Label::ArtistAlbum, &WendelSaverMain::RevealArtistAlbum, "ab", {"b", "ab"}},
        {Label::NextInfo, &WendelSaverMain::RevealNextInfo, "Q", {"Q"}},
        {Label::NextInfo, &WendelSaverMain::RevealNextInfo, "", {}},
        {Label::Track, &WendelSaverMain::RevealTrack, "\xC3\xA9t\xC3\xA9", {"\xC3\xA9", "t\xC3\xA9", "\xC3\xA9t\xC3\xA9"}},
        {Label::ArtistAlbum, &WendelSaverMain::RevealArtistAlbum, "\x80" "a\x80", {"a\x80", "\x80" "a\x80"}},
        {Label::AlbumNotice, &WendelSaverMain::RevealAlbumNotice, "[Alb", {"[", "[A", "[Al", "[Alb"}},
        {Label::AlbumNotice, &WendelSaverMain::EraseAlbumNotice, "[Alb", {"[Al", "[A", "[", ""}},
        {Label::AlbumNotice, &WendelSaverMain::EraseAlbumNotice, "", {}},
    };
    for (const auto& [label, routine, caption, steps] : rows) {
        SCOPED_TRACE(caption);
        const bool erase = routine == &WendelSaverMain::EraseAlbumNotice;
        testing::FakeSaver rig;
        rig.board.SetCaption(label, caption);
        rig.board.SetVisible(label, erase); // reveals start hidden, erases shown
        rig.board.captionHistory.clear();
        (rig.saver.*routine)();
        EXPECT_EQ(rig.board.repaints[label], steps);
        EXPECT_EQ(rig.board.captionHistory[label].front(), ""); // emptied before the first step
        EXPECT_EQ(rig.board.IsVisible(label), !erase);
        EXPECT_EQ(rig.board.Caption(label), caption);
    }
}

// A text longer than any label can show must not hold the saver for long:
// beyond 256 characters it takes fewer steps the longer it is, growing by
// whole characters, and still ends on the whole text.
TEST(Reveal, LongTextsKeepToABoundedNumberOfSteps)
{
    const std::pair<std::size_t, std::size_t> lengthAndSteps[] = {{256, 256}, {257, 255}, {1000, 65}, {30000, 2}, {100000, 1}};
    for (const auto& [length, stepCount] : lengthAndSteps) {
        SCOPED_TRACE(length);
        std::string text;
        for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
        for (const Routine routine : {&WendelSaverMain::RevealTrack, &WendelSaverMain::EraseAlbumNotice}) {
            const Label label = routine == &WendelSaverMain::RevealTrack ? Label::Track : Label::AlbumNotice;
            testing::FakeSaver rig;
            rig.board.SetCaption(label, text);
            (rig.saver.*routine)();
            const Captions& steps = rig.board.repaints[label];
            ASSERT_EQ(steps.size(), stepCount);
            EXPECT_EQ(steps.back(), label == Label::Track ? text : "");
            for (std::size_t i = 1; i < steps.size(); ++i) {
                EXPECT_EQ(steps[i].size() > steps[i - 1].size(), label == Label::Track);
                EXPECT_TRUE(length != 256 || steps[i].size() == (label == Label::Track ? i + 1 : 255 - i));
            }
        }
    }
}

} // namespace
} // namespace wendel
