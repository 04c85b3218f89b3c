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

Entry Album(std::vector<Track> tracks)
{
    return {true, "Band", "Live", tracks.front().title, "", 1, tracks};
}

Texts For(int client, const Outbox& out)
{
    Texts texts;
    for (const Outgoing& o : out)
        if (o.client == client) texts.push_back(o.message);
    return texts;
}

// Client 1 has done the saver's whole handshake.
struct Rig {
    explicit Rig(std::vector<Entry> entries, Options options = {}) : sim(std::move(entries), options)
    {
        sim.Connect(1);
        sim.Open(1, "plxr", "type=devrx");
        first = Send("notify_playing_item[on]");
        Send("notify_playing_timecode[on]");
    }
    Texts Advance(std::int64_t ms) { return For(1, sim.Advance(ms)); }
    Texts Send(const std::string& command) { return For(1, sim.Command(1, "plx", command)); }
    Texts Control(const std::string& verb) { return For(1, sim.Control(verb)); }

    Simulation sim;
    Texts first;
};

TEST(PlxSimulation, MessageFieldsNeverHoldADoubleQuote)
{
    Entry track = Single("Say \"Hi\"", 245);
    track.number = 3;
    EXPECT_EQ(PlayingMessage(track, 0), R"(playing["Album","Artist","Say ''Hi''","4:05","/c/Say ''Hi''.jpg","","3"])");
    EXPECT_EQ(ItemMessage(5, track), R"(playlist_item["5","Album","Artist","Say ''Hi''","4:05","/c/Say ''Hi''.jpg","1","1"])");
    const Entry album = Album({{"One", 60}, {"Two", 90}});
    EXPECT_EQ(PlayingMessage(album, 1), R"(playing["Live","Band","Two","1:30","","","2"])");
    EXPECT_EQ(ItemMessage(2, album), R"(playlist_item["2","Live","Band","One","2:30","","2","0"])");
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

    Options fast;
    fast.speed = 1.5;
    Rig odd({Single("A", 100)}, fast);
    std::size_t times = 0;
    for (int i = 0; i < 12; ++i) times += odd.Advance(333).size(); // 5.994 simulated seconds
    EXPECT_EQ(times, 5u);
    EXPECT_EQ(odd.Advance(4), Texts{"time[0:06]"}); // no fraction lost on the way

    Options slow;
    slow.speed = 0.5;
    slow.loop = true;
    Rig lazy({Single("A", 1), Single("B", 1)}, slow);
    EXPECT_EQ(lazy.sim.RealMsUntilNextEvent(), 2000);
    lazy.Advance(2000); // B
    EXPECT_EQ(lazy.Advance(2000), (Texts{PlayingMessage(Single("A", 1), 0), "time[0:00]"})); // loops
}

TEST(PlxSimulation, PointerFollowsANewEntryOnlyAfterTheLag)
{
    Options lagging;
    lagging.pointerLagMs = 500;
    Rig rig({Single("A", 1), Album({{"B1", 1}, {"B2", 1}})}, lagging);
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

TEST(PlxSimulation, ItemRequestsGoodAndBad)
{
    Rig rig({Single("A", 10), Single("B", 10)});
    const Texts second{ItemMessage(2, Single("B", 10))};
    EXPECT_EQ(rig.Send("playlist_getitem[ 2]"), second);
    EXPECT_EQ(rig.Send("playlist_getitem[2]"), second);
    // Outside the playlist: an empty item, so the saver hides "Up Next:".
    EXPECT_EQ(rig.Send("playlist_getitem[ 3]"), Texts{EmptyItemMessage(3)});
    for (const char* bad : {"playlist_getitem[ x]", "playlist_getitem[]", "playlist_getitem[ 2 ]",
                            "playlist_getitem[ 99999999999]", "playlist_getpointer[now]", "", "notify_playing_item[maybe]"})
        EXPECT_EQ(rig.Send(bad), Texts{}) << bad;
    EXPECT_EQ(For(1, rig.sim.Command(1, "plxr", "playlist_getpointer")), Texts{}); // wrong device
}

TEST(PlxSimulation, EachSaverGetsWhatItAskedFor)
{
    Rig rig({Single("A", 60)});
    Simulation& sim = rig.sim;
    sim.Connect(2); // listens, wants items only
    sim.Open(2, "plxr", "type=devrx");
    sim.Command(2, "plx", "notify_playing_item[on]");
    sim.Connect(3); // never opened the message device
    EXPECT_EQ(For(3, sim.Command(3, "plx", "notify_playing_item[on]")), Texts{});

    Outbox out = sim.Advance(1000);
    EXPECT_EQ(For(1, out), Texts{"time[0:01]"});
    EXPECT_EQ(For(2, out), Texts{});
    out = sim.Command(2, "plx", "playlist_getpointer"); // a reply: only to who asked
    EXPECT_EQ(For(1, out), Texts{});
    EXPECT_EQ(For(2, out), Texts{"playlist_pointer[1]"});
    out = sim.Control("pause"); // a change of state: to every listener
    EXPECT_EQ(For(1, out), Texts{"playlist_pause[]"});
    EXPECT_EQ(For(2, out), Texts{"playlist_pause[]"});
    EXPECT_EQ(For(3, out), Texts{});

    sim.Connect(4); // a newcomer while paused sees the track and the pause
    sim.Open(4, "plxr", "type=devrx");
    EXPECT_EQ(For(4, sim.Command(4, "plx", "notify_playing_item[on]")),
              (Texts{PlayingMessage(Single("A", 60), 0), "playlist_pause[]"}));
    sim.Disconnect(1); // gone, and what it asked for with it
    sim.Connect(1);
    EXPECT_EQ(For(1, sim.Control("play")), Texts{});
}

TEST(PlxSimulation, ControlVerbs)
{
    const Entry a = Single("A", 60), b = Single("B", 60), album = Album({{"C1", 60}, {"C2", 60}});
    Options stopped;
    stopped.startPlaying = false;
    Rig rig({a, album, b}, stopped);
    EXPECT_EQ(rig.first, Texts{"playlist_stop[]"});
    EXPECT_EQ(rig.Control("play"), (Texts{"playlist_play[]", PlayingMessage(a, 0), "time[0:00]"}));
    rig.Advance(5000);
    EXPECT_EQ(rig.Control("pause"), Texts{"playlist_pause[]"});
    EXPECT_EQ(rig.Advance(5000), Texts{}); // a paused clock stands still
    EXPECT_EQ(rig.Control("play"), Texts{"playlist_play[]"});
    EXPECT_EQ(rig.sim.ElapsedMs(), 5000);
    EXPECT_EQ(rig.Control("stop"), Texts{"playlist_stop[]"});
    EXPECT_EQ(rig.Control("next"), (Texts{"playlist_play[]", PlayingMessage(album, 0), "time[0:00]"}));
    EXPECT_EQ(rig.Control("next"), (Texts{PlayingMessage(album, 1), "time[0:00]"}));
    rig.Control("next");
    EXPECT_EQ(rig.Control("next"), Texts{"playlist_stop[]"});
    EXPECT_EQ(rig.Control("prev"), (Texts{"playlist_play[]", PlayingMessage(album, 0), "time[0:00]"}));
    rig.Control("prev");
    EXPECT_EQ(rig.Control("prev"), (Texts{PlayingMessage(a, 0), "time[0:00]"})); // the first restarts
    bool known = true;
    EXPECT_EQ(For(1, rig.sim.Control("dance", &known)), Texts{});
    EXPECT_FALSE(known);
}

} // namespace
} // namespace plxsim
