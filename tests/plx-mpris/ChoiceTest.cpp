// Which player the board follows, as players start, pause and leave.

#include "Choice.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>
#include <vector>

namespace plxmpris {
namespace {

using jukebox::PlayState;

const std::string kA = "org.mpris.MediaPlayer2.a";
const std::string kB = "org.mpris.MediaPlayer2.b";

// Plays `steps` such as "seen:a play:a pause:b active:b gone:b" for players a and b.
void Play(Choice& choice, const std::string& steps)
{
    std::istringstream words(steps);
    for (std::string word; words >> word;) {
        const std::string verb = word.substr(0, word.find(':')), name = word.back() == 'a' ? kA : kB;
        if (verb == "seen") choice.Seen(name);
        else if (verb == "active") choice.Active(name);
        else if (verb == "gone") choice.Gone(name);
        else choice.Status(name, verb == "play" ? PlayState::Playing : PlayState::Paused);
    }
}

TEST(MprisChoice, FollowsTheLatestToStartPlayingElseTheLatestActive)
{
    const std::tuple<const char*, const char*, const char*, std::optional<std::string>> cases[] = { // what, pin, steps
        {"nobody", "", "", std::nullopt},
        {"one idle player", "", "seen:a", kA},
        {"the later of two idle ones", "", "seen:a seen:b", kB},
        {"a player that plays beats a later idle one", "", "seen:a play:a seen:b active:b", kA},
        {"the later to start playing", "", "seen:a seen:b play:b play:a", kA},
        {"playing on does not count as starting again", "", "seen:a seen:b play:a play:b play:a", kB},
        {"back to the one still playing when the latest pauses", "", "seen:a seen:b play:a play:b pause:b", kA},
        {"turns: A pauses, B plays", "", "seen:a seen:b play:a pause:a play:b", kB},
        {"none plays: the one paused last", "", "seen:a seen:b play:b play:a pause:a pause:b", kB},
        {"the player that left is not followed", "", "seen:a seen:b play:b gone:b", kA},
        {"events of an unseen player change nothing", "", "seen:a play:b", kA},
        {"pinned: another player is not seen", "b", "seen:a play:a", std::nullopt},
        {"pinned: its own player is", "b", "seen:a play:a seen:b", kB},
    };
    for (const auto& [what, pattern, steps, followed] : cases) {
        Choice choice(pattern);
        Play(choice, steps);
        EXPECT_EQ(choice.Followed(), followed) << what;
        // Pinned, it keeps no other player's name.
        EXPECT_TRUE(!*pattern || choice.Names().size() == (choice.Followed() ? 1u : 0u)) << what;
    }
}

TEST(MprisChoice, NamesMatchAsPlayerctlMatchesThem)
{
    const std::tuple<const char*, const char*, bool> cases[] = { // bus name, pattern, matches
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
    for (const auto& [bus, pattern, matches] : cases) EXPECT_EQ(MatchesPlayer(bus, pattern), matches) << bus << pattern;
    EXPECT_EQ(ShortName("org.mpris.MediaPlayer2.vlc.instance42"), "vlc.instance42");
}

} // namespace
} // namespace plxmpris
