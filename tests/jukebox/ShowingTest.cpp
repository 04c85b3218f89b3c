// The order in which a change of what the board shows goes out.

#include "Audience.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace jukebox {
namespace {

struct NoPlayer final : Player {
    PlayState State() const override { return PlayState::Stopped; }
    std::optional<Track> Current() const override { return std::nullopt; }
    int Pointer() const override { return 1; }
    std::optional<Entry> EntryAt(int) override { return std::nullopt; }
};

TEST(JukeboxShowing, ChangesGoOutInTheOrderTheBoardNeeds)
{
    const Track one{"Al", "Ar", "One", "1:00", "", "1"};
    const Track two{"Al", "Ar", "Two", "2:00", "", "2"};
    const std::string p1 = PlayingMessage(one);
    const std::string p2 = PlayingMessage(two);
    const Showing stopped;
    const Showing playingOne{PlayState::Playing, one};
    const Showing pausedOne{PlayState::Paused, one};
    const Showing playingTwo{PlayState::Playing, two};
    const Showing pausedTwo{PlayState::Paused, two};
    const struct {
        const char* what;
        Showing was;
        Showing now;
        bool fresh;
        std::vector<std::string> expected;
    } cases[] = {
        {"nothing changes", playingOne, playingOne, false, {}},
        {"start from stopped", stopped, playingOne, false, {"playlist_play[]", p1}},
        {"start paused", stopped, pausedOne, false, {p1, "playlist_pause[]"}},
        {"pause", playingOne, pausedOne, false, {"playlist_pause[]"}},
        {"resume", pausedOne, playingOne, false, {"playlist_play[]"}},
        {"next track", playingOne, playingTwo, false, {p2}},
        {"next track while paused", pausedOne, pausedTwo, false, {p2, "playlist_pause[]"}},
        {"next track and resume", pausedOne, playingTwo, false, {p2, "playlist_play[]"}},
        {"stop", playingOne, stopped, false, {"playlist_stop[]"}},
        {"still stopped", stopped, stopped, false, {}},
        {"a player reached anew, stopped", stopped, stopped, true, {"playlist_stop[]"}},
        {"a player reached anew, same track", playingOne, playingOne, true, {p1}},
        {"a player reached anew, paused", pausedOne, pausedOne, true, {p1, "playlist_pause[]"}},
        {"a track without a state is stopped", playingOne, Showing{PlayState::Playing, std::nullopt}, false,
         {"playlist_stop[]"}},
    };
    NoPlayer player;
    Audience audience(player);
    audience.Connect(1);
    audience.Open(1, kMessageDevice, "type=devrx");
    audience.Command(1, kCommandDevice, "notify_playing_item[on]");
    for (const auto& c : cases) {
        Outbox out;
        audience.Show(out, c.was, c.now, c.fresh);
        std::vector<std::string> texts;
        for (const Outgoing& o : out) texts.push_back(o.message);
        EXPECT_EQ(texts, c.expected) << c.what;
    }
}

} // namespace
} // namespace jukebox
