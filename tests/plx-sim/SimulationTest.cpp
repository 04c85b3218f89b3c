// plx-sim's own player: its playlist on a simulated clock. Who hears what is
// the serving layer's, tested there.

#include "Printers.h"
#include "Simulation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plxsim {
namespace {

using Texts = std::vector<std::string>;

Entry Single(std::string title, int seconds)
{
    return {false, "Artist", "Album", title, "/c/" + title + ".jpg", 1, {{title, seconds}}};
}

Entry Album(std::vector<Track> tracks) { return {true, "Band", "Live", tracks.front().title, "", 1, tracks}; }

// A simulation whose client 1 has done the saver's whole handshake.
struct Rig {
    explicit Rig(std::vector<Entry> entries, Options options = {}) : sim(std::move(entries), options)
    {
        sim.Connect(1);
        sim.Open(1, "plxr", "type=devrx");
        first = Send("notify_playing_item[on]");
        Send("notify_playing_timecode[on]");
    }
    static Texts Of(const Outbox& out)
    {
        Texts texts;
        for (const Outgoing& o : out) texts.push_back(o.message);
        return texts;
    }
    Texts Advance(std::int64_t ms) { return Of(sim.Advance(ms)); }
    Texts Send(const std::string& command) { return Of(sim.Command(1, "plx", command)); }
    Texts Control(const std::string& verb) { return Of(sim.Control(verb)); }

    Simulation sim;
    Texts first;
};

TEST(PlxSimulation, EntriesBecomeTracksAndItems)
{
    Entry track = Single("Say \"Hi\"", 245);
    track.number = 3;
    EXPECT_EQ(PlayingMessage(track, 0), R"(playing["Album","Artist","Say ''Hi''","4:05","/c/Say ''Hi''.jpg","","3"])");
    EXPECT_EQ(ItemMessage(5, track), R"(playlist_item["5","Album","Artist","Say ''Hi''","4:05","/c/Say ''Hi''.jpg","1","1"])");
    const Entry album = Album({{"One", 60}, {"Two", 90}});
    EXPECT_EQ(PlayingMessage(album, 1), R"(playing["Live","Band","Two","1:30","","","2"])");
    EXPECT_EQ(ItemMessage(2, album), R"(playlist_item["2","Live","Band","One","2:30","","2","0"])");
    Rig rig({track, album});
    for (const auto& [position, item] : std::vector<std::pair<int, std::string>>{
             {2, ItemMessage(2, album)}, {3, EmptyItemMessage(3)}, {0, EmptyItemMessage(0)}})
        EXPECT_EQ(rig.Send("playlist_getitem[ " + std::to_string(position) + "]"), Texts{item}) << position;
}

TEST(PlxSimulation, ClockRunsThroughThePlaylistAtAnySpeed)
{
    const Entry album = Album({{"B1", 1}, {"B2", 2}});
    Rig rig({Single("A", 2), album});
    EXPECT_EQ(rig.first, Texts{PlayingMessage(Single("A", 2), 0)}); // a newcomer is told at once
    EXPECT_EQ(rig.Advance(999), Texts{});
    EXPECT_EQ(rig.Advance(1), Texts{"time[0:01]"});
    EXPECT_EQ(rig.Advance(1000), (Texts{PlayingMessage(album, 0), "time[0:00]"}));
    EXPECT_EQ(rig.Advance(2000), (Texts{PlayingMessage(album, 1), "time[0:00]", "time[0:01]"}));
    EXPECT_EQ(rig.Advance(5000), Texts{"playlist_stop[]"}); // the end: it rests on the last entry
    EXPECT_EQ(rig.sim.Position(), 2);
    EXPECT_EQ(rig.sim.RealMsUntilNextEvent(), std::nullopt);

    Rig odd({Single("A", 100)}, Options{1.5, 0, true, false});
    std::size_t times = 0;
    for (int i = 0; i < 12; ++i) times += odd.Advance(333).size(); // 5.994 simulated seconds
    EXPECT_EQ(times, 5u);
    EXPECT_EQ(odd.Advance(4), Texts{"time[0:06]"}); // no fraction lost on the way

    Rig lazy({Single("A", 1), Single("B", 1)}, Options{0.5, 0, true, true});
    EXPECT_EQ(lazy.sim.RealMsUntilNextEvent(), 2000);
    lazy.Advance(2000); // B
    EXPECT_EQ(lazy.Advance(2000), (Texts{PlayingMessage(Single("A", 1), 0), "time[0:00]"})); // loops
}

TEST(PlxSimulation, PointerFollowsANewEntryOnlyAfterTheLag)
{
    Rig rig({Single("A", 1), Album({{"B1", 1}, {"B2", 1}})}, Options{1.0, 500, true, false});
    rig.Advance(1000); // entry 2 starts
    EXPECT_EQ(rig.Send("playlist_getpointer"), Texts{"playlist_pointer[1]"});
    EXPECT_EQ(rig.sim.RealMsUntilNextEvent(), 500);
    rig.Advance(499);
    EXPECT_EQ(rig.sim.Pointer(), 1);
    rig.Advance(1);
    EXPECT_EQ(rig.Send("playlist_getpointer"), Texts{"playlist_pointer[2]"});
    rig.Advance(500); // the album's second track: the pointer stays
    EXPECT_EQ(rig.sim.TrackIndex(), 1u);
    EXPECT_EQ(rig.sim.Pointer(), 2);
}

TEST(PlxSimulation, ControlVerbs)
{
    const Entry a = Single("A", 60), b = Single("B", 60), album = Album({{"C1", 60}, {"C2", 60}});
    Rig rig({a, album, b}, Options{1.0, 0, false, false});
    EXPECT_EQ(rig.first, Texts{"playlist_stop[]"});
    EXPECT_EQ(rig.Control("play"), (Texts{"playlist_play[]", PlayingMessage(a, 0), "time[0:00]"}));
    rig.Advance(5000);
    EXPECT_EQ(rig.Control("pause"), Texts{"playlist_pause[]"});
    EXPECT_EQ(rig.Advance(5000), Texts{}); // a paused clock stands still
    EXPECT_EQ(rig.sim.Current(), std::optional(jukebox::Track{"Album", "Artist", "A", "1:00", "/c/A.jpg", "1"}));
    EXPECT_EQ(rig.Control("play"), Texts{"playlist_play[]"});
    EXPECT_EQ(rig.sim.ElapsedMs(), 5000);
    EXPECT_EQ(rig.Control("stop"), Texts{"playlist_stop[]"});
    EXPECT_EQ(rig.sim.Current(), std::nullopt);
    EXPECT_EQ(rig.Control("next"), (Texts{"playlist_play[]", PlayingMessage(album, 0), "time[0:00]"}));
    EXPECT_EQ(rig.Control("next"), (Texts{PlayingMessage(album, 1), "time[0:00]"}));
    rig.Control("next");
    EXPECT_EQ(rig.Control("next"), Texts{"playlist_stop[]"});
    EXPECT_EQ(rig.Control("prev"), (Texts{"playlist_play[]", PlayingMessage(album, 0), "time[0:00]"}));
    rig.Control("prev");
    EXPECT_EQ(rig.Control("prev"), (Texts{PlayingMessage(a, 0), "time[0:00]"})); // the first restarts
    bool known = true;
    EXPECT_EQ(rig.sim.Control("dance", &known), Outbox{});
    EXPECT_FALSE(known);
}

} // namespace
} // namespace plxsim
