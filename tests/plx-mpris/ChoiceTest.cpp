// Which player the board follows, as players start, pause and leave.

#include "Choice.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace plxmpris {
namespace {

using jukebox::PlayState;

const std::string kA = "org.mpris.MediaPlayer2.a";
const std::string kB = "org.mpris.MediaPlayer2.b";
const std::string kC = "org.mpris.MediaPlayer2.c.instance7";

TEST(MprisChoice, FollowsTheLatestToStartPlayingElseTheLatestActive)
{
    using Step = std::function<void(Choice&)>;
    const struct {
        const char* what;
        std::vector<Step> steps;
        std::optional<std::string> expected;
    } cases[] = {
        {"nobody", {}, std::nullopt},
        {"one idle player", {[](Choice& c) { c.Seen(kA); }}, kA},
        {"the later of two idle ones", {[](Choice& c) { c.Seen(kA); }, [](Choice& c) { c.Seen(kB); }}, kB},
        {"a player that plays beats a later idle one",
         {[](Choice& c) { c.Seen(kA); }, [](Choice& c) { c.Status(kA, PlayState::Playing); },
          [](Choice& c) { c.Seen(kB); }, [](Choice& c) { c.Active(kB); }},
         kA},
        {"the later to start playing",
         {[](Choice& c) { c.Seen(kA); }, [](Choice& c) { c.Seen(kB); },
          [](Choice& c) { c.Status(kB, PlayState::Playing); }, [](Choice& c) { c.Status(kA, PlayState::Playing); }},
         kA},
        {"playing on does not count as starting again",
         {[](Choice& c) { c.Seen(kA); }, [](Choice& c) { c.Seen(kB); },
          [](Choice& c) { c.Status(kA, PlayState::Playing); }, [](Choice& c) { c.Status(kB, PlayState::Playing); },
          [](Choice& c) { c.Status(kA, PlayState::Playing); }},
         kB},
        {"back to the one still playing when the latest pauses",
         {[](Choice& c) { c.Seen(kA); }, [](Choice& c) { c.Seen(kB); },
          [](Choice& c) { c.Status(kA, PlayState::Playing); }, [](Choice& c) { c.Status(kB, PlayState::Playing); },
          [](Choice& c) { c.Status(kB, PlayState::Paused); }},
         kA},
        {"turns: A pauses, B plays",
         {[](Choice& c) { c.Seen(kA); }, [](Choice& c) { c.Seen(kB); },
          [](Choice& c) { c.Status(kA, PlayState::Playing); }, [](Choice& c) { c.Status(kA, PlayState::Paused); },
          [](Choice& c) { c.Status(kB, PlayState::Playing); }},
         kB},
        {"none plays: the one paused last",
         {[](Choice& c) { c.Seen(kA); }, [](Choice& c) { c.Seen(kB); },
          [](Choice& c) { c.Status(kB, PlayState::Playing); }, [](Choice& c) { c.Status(kA, PlayState::Playing); },
          [](Choice& c) { c.Status(kA, PlayState::Paused); }, [](Choice& c) { c.Status(kB, PlayState::Paused); }},
         kB},
        {"the player that left is not followed",
         {[](Choice& c) { c.Seen(kA); }, [](Choice& c) { c.Seen(kB); },
          [](Choice& c) { c.Status(kB, PlayState::Playing); }, [](Choice& c) { c.Gone(kB); }},
         kA},
        {"events of an unseen player change nothing",
         {[](Choice& c) { c.Seen(kA); }, [](Choice& c) { c.Status(kB, PlayState::Playing); }}, kA},
    };
    for (const auto& c : cases) {
        Choice choice;
        for (const Step& step : c.steps) step(choice);
        EXPECT_EQ(choice.Followed(), c.expected) << c.what;
    }
}

TEST(MprisChoice, APinnedChoiceSeesOnlyItsPlayers)
{
    Choice choice("b");
    choice.Seen(kA);
    choice.Status(kA, PlayState::Playing);
    EXPECT_EQ(choice.Followed(), std::nullopt);
    choice.Seen(kB);
    EXPECT_EQ(choice.Followed(), kB);
    EXPECT_EQ(choice.Names(), std::vector<std::string>{kB});
}

TEST(MprisChoice, NamesMatchAsPlayerctlMatchesThem)
{
    const struct {
        const char* bus;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"org.mpris.MediaPlayer2.vlc", "", true},
        {"org.mpris.MediaPlayer2.vlc", "vlc", true},
        {"org.mpris.MediaPlayer2.vlc.instance42", "vlc", true},
        {"org.mpris.MediaPlayer2.vlc.instance42", "vlc.instance42", true},
        {"org.mpris.MediaPlayer2.vlcx", "vlc", false},
        {"org.mpris.MediaPlayer2.vlc", "vl", false},
        {"org.mpris.MediaPlayer2.vlc", "VLC", false},
        {"org.mpris.MediaPlayer2.mpv", "vlc,mpv", true},
        {"org.mpris.MediaPlayer2.mpv", "vlc,,", false},
        {"org.mpris.MediaPlayer2", "", false},
        {"org.example.vlc", "vlc", false},
        {"org.example.vlc", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchesPlayer(c.bus, c.pattern), c.matches) << c.bus << " / " << c.pattern;
    EXPECT_EQ(ShortName("org.mpris.MediaPlayer2.vlc.instance42"), "vlc.instance42");
}

} // namespace
} // namespace plxmpris
