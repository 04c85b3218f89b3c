// The serving layer's plain part: message texts, who gets what, the running clock.

#include "Audience.h"
#include "RunningClock.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace jukebox {
namespace {

using Texts = std::vector<std::string>;

Texts For(int client, const Outbox& out)
{
    Texts texts;
    for (const Outgoing& o : out)
        if (o.client == client) texts.push_back(o.message);
    return texts;
}

// A player whose every answer the test sets.
struct StubPlayer final : Player {
    bool Present() const override { return present; }
    PlayState State() const override { return state; }
    std::optional<Track> Current() const override { return current; }
    int Pointer() const override { return pointer; }
    std::optional<Entry> EntryAt(int position) override
    {
        asked.push_back(position);
        return position == 2 ? std::optional<Entry>(Entry{"A", "B", "C", "1:00:00", "", 3, true}) : std::nullopt;
    }

    bool present = true;
    PlayState state = PlayState::Playing;
    std::optional<Track> current = Track{"Al\"bum", "Art\tist", "Ti\r\ntle", "4:05", "/c.jpg", "3"};
    int pointer = 7;
    std::vector<int> asked;
};

TEST(JukeboxMessages, FieldsAreCleanedAndDurationsFormatted)
{
    StubPlayer player;
    EXPECT_EQ(PlayingMessage(*player.current), R"(playing["Al''bum","Art ist","Ti  tle","4:05","/c.jpg","","3"])");
    EXPECT_EQ(ItemMessage(2, *player.EntryAt(2)), R"(playlist_item["2","A","B","C","1:00:00","","3","0"])");
    EXPECT_EQ(EmptyItemMessage(-1), R"(playlist_item["-1","","","","","","0","1"])");
    const std::vector<std::pair<int, std::string>> durations = {
        {-5, "0:00"}, {0, "0:00"}, {5, "0:05"}, {245, "4:05"}, {3599, "59:59"}, {3600, "1:00:00"}, {3610, "1:00:10"},
        {3723, "1:02:03"}, {36000 * 10 + 61, "100:01:01"},
    };
    for (const auto& [seconds, text] : durations) EXPECT_EQ(FormatDuration(seconds), text) << seconds;
}

TEST(JukeboxAudience, ANewcomerLearnsThePresentOrNothingWhileThePlayerIsAway)
{
    struct Case {
        const char* name;
        bool present;
        PlayState state;
        bool hasTrack;
        Texts told;
    };
    const std::string playing = R"(playing["Al''bum","Art ist","Ti  tle","4:05","/c.jpg","","3"])";
    const std::vector<Case> cases = {
        {"playing", true, PlayState::Playing, true, {playing}},
        {"paused", true, PlayState::Paused, true, {playing, "playlist_pause[]"}},
        {"stopped", true, PlayState::Stopped, true, {"playlist_stop[]"}},
        {"no track", true, PlayState::Playing, false, {"playlist_stop[]"}},
        {"player away", false, PlayState::Playing, true, {}},
    };
    for (const Case& c : cases) {
        StubPlayer player;
        player.present = c.present;
        player.state = c.state;
        if (!c.hasTrack) player.current.reset();
        Audience audience(player);
        audience.Connect(1);
        audience.Open(1, "plxr", "type=devrx");
        EXPECT_EQ(For(1, audience.Command(1, "plx", "notify_playing_item[on]")), c.told) << c.name;
        EXPECT_EQ(For(1, audience.Command(1, "plx", "notify_playing_item[on]")), Texts{}) << c.name << ": once";
    }
}

TEST(JukeboxAudience, EventsReachOnlyThoseWhoAskedAndAnswersOnlyWhoAsked)
{
    StubPlayer player;
    Audience audience(player);
    audience.Connect(1); // the whole handshake
    audience.Open(1, "plxr", "type=devrx");
    audience.Command(1, "plx", "notify_playing_item[on]");
    audience.Command(1, "plx", "notify_playing_timecode[on]");
    audience.Connect(2); // listens only
    audience.Open(2, "plxr", "type=devrx");
    audience.Connect(3); // never opened the message device
    audience.Command(3, "plx", "notify_playing_item[on]");
    audience.Open(9, "plxr", "type=devrx"); // not connected: no client appears
    EXPECT_EQ(audience.Size(), 3u);

    Outbox out;
    audience.StateChanged(out, PlayState::Paused);
    audience.TrackStarted(out, Track{"a", "b", "c", "", "", "1"});
    audience.Time(out, "1:23");
    EXPECT_EQ(For(1, out), (Texts{"playlist_pause[]", R"(playing["a","b","c","","","","1"])", "time[1:23]"}));
    EXPECT_EQ(For(2, out), Texts{"playlist_pause[]"});
    EXPECT_EQ(For(3, out), Texts{});

    EXPECT_EQ(audience.Command(2, "plx", "playlist_getpointer"), (Outbox{{2, "playlist_pointer[7]"}}));
    EXPECT_EQ(For(2, audience.Command(2, "plx", "playlist_getitem[ 2]")),
              Texts{R"(playlist_item["2","A","B","C","1:00:00","","3","0"])"});
    EXPECT_EQ(For(2, audience.Command(2, "plx", "playlist_getitem[-4]")), Texts{EmptyItemMessage(-4)});
    for (const char* bad : {"playlist_getitem[ x]", "playlist_getitem[]", "playlist_getitem[ 2 ]",
                            "playlist_getitem[ 99999999999]", "playlist_getpointer[now]", "", "dance"})
        EXPECT_EQ(audience.Command(2, "plx", bad), Outbox{}) << bad;
    EXPECT_EQ(audience.Command(2, "plxr", "playlist_getpointer"), Outbox{}); // wrong device
    EXPECT_EQ(audience.Command(3, "plx", "playlist_getpointer"), Outbox{}); // not listening
    EXPECT_EQ(player.asked, (std::vector<int>{2, -4}));

    audience.Disconnect(1);
    Outbox after;
    audience.Time(after, "1:24");
    EXPECT_EQ(after, Outbox{});
    EXPECT_EQ(audience.Command(1, "plx", "playlist_getpointer"), Outbox{});
}

TEST(JukeboxRunningClock, CarriesThePlayersTimeOnWhilePlaying)
{
    struct Step {
        std::int64_t now;
        int seconds;
        std::int64_t untilNext;
    };
    RunningClock clock;
    clock.Set(61'400, 10'000, true); // the player said 1:01.4 at 10 s
    for (const Step& s : {Step{10'000, 61, 600}, Step{10'599, 61, 1}, Step{10'600, 62, 1000}, Step{9'000, 61, 600},
                          Step{13'700, 65, 900}})
        EXPECT_EQ(std::make_pair(clock.SecondsAt(s.now), clock.MsUntilNextSecond(s.now)),
                  std::make_pair(s.seconds, s.untilNext))
            << s.now;
    clock.Set(5'000, 20'000, false); // paused: time stands
    EXPECT_EQ(clock.SecondsAt(99'000), 5);
    clock.Set(-300, 0, true); // a player's odd report never runs backwards
    EXPECT_EQ(clock.SecondsAt(0), 0);
}

} // namespace
} // namespace jukebox
