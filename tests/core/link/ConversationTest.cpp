#include "link/PlxRig.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace wendel::testing {
namespace {

using Commands = std::vector<std::string>;
using Ints = std::vector<int>;

// The first message on the receiving device hides the waiting label once; anything on another device is not
// PLX; keywords match over their length.
TEST(Dispatcher, DeviceAndKeywordDecide)
{
    const std::tuple<const char*, std::string, bool, bool> rows[] = { // device, message, heard, stop shown
        {"plxr", "hello", true, false}, {"plxr", "", true, false}, {"plxr", "playing", true, false},
        {"plxr", "playlist_stop[]", true, true}, {"plxr", "playlist_stopped now", true, true},
        {"plxr", "playlist_stop", true, true}, {"plxr", "Playlist_stop[]", true, false},
        {"plxr", "playlist_sto", true, false}, {"plxr", " playlist_stop[]", true, false},
        {"plx", "playlist_stop[]", false, false}, {"PLXR", Playing({}), false, false},
        {"plxr ", "time[1:23]", false, false}, {"", "playlist_pointer[5]", false, false},
    };
    for (const auto& [device, message, heard, stops] : rows) {
        SCOPED_TRACE(std::string(device) + ": " + message);
        PlxRig plx;
        plx.fake.link.Deliver(device, message);
        EXPECT_EQ(plx.Visible(Label::NoPLX), !heard);
        EXPECT_EQ(plx.Visible(Picture::Stopsign), stops);
        plx.fake.board.SetVisible(Label::NoPLX, true); // later messages leave that label alone
        plx.Say("hello again");
        EXPECT_EQ(plx.Visible(Label::NoPLX), heard);
    }
}

TEST(PlayingItem, TitleAndArtistAlbumForEveryKindOfField)
{
    const std::string dot = "\xC2\xB7"; // two-byte separators where PLX puts [ ] and commas
    const std::tuple<std::string, const char*, const char*> rows[] = { // message, Track, ArtistAlbum
        {Playing({}), "Song", "Various - Hits"},
        {Playing({.album = "...", .artist = "Ravens, The"}), "Song", "The Ravens - The Ravens"},
        {Playing({.title = "!a{Guest}t{Song}!"}), "Song", "Guest: Various - Hits"},
        {Playing({.album = "...", .title = "!a{Guest}t{Song}!"}), "Song", "Guest: Various - Various"},
        {Playing({.album = "", .artist = "", .title = ""}), "", " - "},
        {"playing\xC2\xAB\"\xC3\x84lbum\"" + dot + "\"Artist\"" + dot + "\"T\xC3\xAFtle\"" + dot + "\"4:05\"" + dot +
             "\"/covers/a.jpg\"" + dot + "\"\"" + dot + "\"1\"\xC2\xBB",
         "T\xC3\xAFtle", "Artist - \xC3\x84lbum"},
    };
    for (const auto& [message, track, artistAlbum] : rows) {
        SCOPED_TRACE(message);
        PlxRig plx;
        plx.Say("time[0:07]");
        plx.Say(message);
        EXPECT_EQ(plx.Caption(Label::TrackTime), "...");
        EXPECT_EQ(plx.Caption(Label::Track), track);
        EXPECT_EQ(plx.Caption(Label::ArtistAlbum), artistAlbum);
        EXPECT_TRUE(plx.Visible(Label::Track));
        EXPECT_TRUE(plx.Visible(Label::ArtistAlbum));
        // A new artist/album line stays hidden while the title draws in.
        EXPECT_FALSE(plx.fake.board.shownWhileRepainting[Label::Track].contains(Label::ArtistAlbum));
    }
    // The same artist and album again: only the title is drawn in.
    PlxRig plx;
    plx.Say(Playing({.title = "One"}));
    const auto artistAlbum = plx.fake.board.repaints[Label::ArtistAlbum];
    plx.Say(Playing({.title = "Two"}));
    EXPECT_EQ(plx.fake.board.repaints[Label::Track].back(), "Two");
    EXPECT_EQ(plx.fake.board.repaints[Label::ArtistAlbum], artistAlbum);
    EXPECT_TRUE(plx.Visible(Label::ArtistAlbum));
}

// The pointer has not moved on: the entry "after" it is the playing one. Before any "playing" message the
// count starts one lower.
TEST(FetchCycle, RetriesWhileThePointerStillStandsOnThePlayingItem)
{
    for (const bool playing : {true, false}) {
        SCOPED_TRACE(playing);
        PlxRig plx(3000);
        const std::string title = playing ? "Song" : "";
        if (playing) plx.Say(Playing({.title = title}));
        plx.Current("5", {.title = title});
        const int retries = playing ? 2 : 3;
        for (int retry = 0; retry < retries; ++retry) {
            plx.fake.board.SetCaption(Label::NextInfo, "stale");
            plx.fake.saver.DTimerTick();
            plx.Current("4", {.position = "5", .title = title});
            EXPECT_EQ(plx.Caption(Label::NextInfo), "");
            EXPECT_TRUE(plx.fake.dTimer.enabled);
        }
        // The last answer is shown whatever it holds.
        plx.fake.saver.DTimerTick();
        plx.Current("4", {.position = "5", .artist = "Band", .title = title});
        EXPECT_EQ(plx.Caption(Label::NextInfo), "Band - " + title);
        EXPECT_FALSE(plx.fake.dTimer.enabled);
        EXPECT_EQ(plx.fake.dTimer.armedIntervals, Ints(retries + 1, 3000));
    }
}

// The same "playing" again changes no text but cancels the pending pointer query and cover retry. A jukebox
// that restarts replays it unchanged: after a new connection it runs afresh, fetch and cover retry included.
TEST(FetchCycle, AReplayChangesNothingButANewConnectionStartsTheCycleAgain)
{
    PlxRig plx(3000);
    plx.fake.link.Connect(); // the first connection changes nothing
    const std::string playing = Playing({.title = "Song", .cover = "/covers/locked.jpg"});
    plx.Say(playing);
    plx.Current("5", {.title = "Song"});
    ASSERT_TRUE(plx.fake.dTimer.enabled && plx.fake.imageErrorTimer.enabled);
    plx.Say("playlist_stop[]");
    const auto captions = plx.fake.board.captionHistory;
    plx.NewCommands();
    plx.Say(playing);
    EXPECT_EQ(plx.fake.board.captionHistory, captions);
    EXPECT_TRUE(plx.NewCommands().empty());
    EXPECT_FALSE(plx.fake.dTimer.enabled);
    EXPECT_FALSE(plx.fake.imageErrorTimer.enabled);
    EXPECT_FALSE(plx.Visible(Picture::Stopsign));
    plx.fake.link.Connect();
    plx.Say(playing);
    EXPECT_EQ(plx.NewCommands(), (Commands{"playlist_getpointer"}));
    EXPECT_EQ(plx.fake.imageErrorTimer.armedIntervals, (Ints{3000, 3000}));
    plx.FetchNext("5", {.title = "Song"}, {.position = "6", .artist = "Band", .title = "Next Song"});
    EXPECT_EQ(plx.Caption(Label::NextInfo), "Band - Next Song");
}

TEST(FetchCycle, PointerReplyAsksForTheEntryAtOrAfterThePointer)
{
    const std::tuple<bool, const char*, Commands> rows[] = { // the playing entry wanted, message, sent
        {true, "playlist_pointer[12]", {"playlist_getitem[ 12]"}},
        {false, "playlist_pointer[12]", {"playlist_getitem[ 13]"}},
        {false, "playlist_pointer[-5]", {"playlist_getitem[-4]"}},
        {true, "playlist_pointer[abc]", {"playlist_getitem[ 0]"}}, // no number: entry 0
        {true, "playlist_pointer[5x]", {"playlist_getitem[ 5]"}},  // the number it begins with
        {true, "playlist_pointer[2.5]", {"playlist_getitem[ 2.5]"}},
        {true, "playlist_pointer\xC2\xAB" "9\xC2\xBB", {"playlist_getitem[ 9]"}},
        {true, "playlist_pointer[1e999]", {}}, // no text form worth sending
    };
    for (const auto& [wantCurrent, message, sent] : rows) {
        SCOPED_TRACE(message);
        PlxRig plx;
        plx.fake.saver.WantCurrentEntry = wantCurrent;
        plx.Say(message);
        EXPECT_EQ(plx.NewCommands(), sent);
    }
}

TEST(UpNext, FetchedAfterThePlayingEntryAndShownForEachKind)
{
    const std::pair<EntryFields, const char*> rows[] = {
        {{.album = "Live", .artist = "Band", .title = "Next Song"}, "Band - Next Song"},
        {{.album = "...", .artist = "Band", .title = "Next Song"}, "Band - Next Song"},
        {{.album = "Hits", .artist = "Various", .title = "!a{Guest}t{Song}!"}, "Guest - Song (Various)"},
        {{.album = "Live", .artist = "Ravens, The", .kind = "0"}, "The Ravens - Live [Album]"},
        {{.album = "...", .artist = "Band", .kind = "0"}, "Band - Band [Album]"},
        {{.album = "Hits", .artist = "Various", .title = "!a{Guest}t{Song}!", .kind = "0"}, "Guest - Various [Album]"},
        {{.artist = "Band", .title = "X", .kind = "0.5"}, "Band - Live [Album]"},
        {{.artist = "Band", .title = "X", .kind = "1e10"}, "Band - X"}, // beyond 32 bits: not 0
        {{.artist = "\xC3\x84\xC3\x84", .title = "X"}, "\xC3\x84\xC3\x84 - X"},
        // No artist of two characters, no entry: the next "playing" starts a new cycle.
        {{.artist = ""}, ""}, {{.artist = "X"}, ""}, {{.artist = "\xC3\x84"}, ""},
    };
    for (const auto& [entry, nextInfo] : rows) {
        SCOPED_TRACE(Entry(entry));
        PlxRig plx;
        plx.Say(Playing({.title = "Playing Now"}));
        plx.fake.board.SetCaption(Label::NextInfo, "stale");
        plx.FetchNext("6", {.title = "Playing Now"}, entry);
        EXPECT_EQ(plx.Caption(Label::NextInfo), nextInfo);
        EXPECT_EQ(plx.Visible(Label::Caption_Upnext), *nextInfo != '\0');
        EXPECT_TRUE(!*nextInfo || plx.Visible(Label::NextInfo)); // drawn in
        const Commands sent{"playlist_getpointer", "playlist_getitem[ 6]",
                            "playlist_getpointer", "playlist_getitem[ 7]"};
        EXPECT_EQ(plx.NewCommands(), sent);
        plx.Say("playlist_pointer[7]");
        EXPECT_EQ(plx.NewCommands(), Commands{*nextInfo ? "playlist_getitem[ 7]" : "playlist_getitem[ 8]"});
    }
}

TEST(AlbumNotice, EveryRowOfTheStateTable)
{
    const std::tuple<bool, const char*, const char*, bool, bool, bool, bool, bool> rows[] = {
        {false, "1", "0", true, true, false, true, true}, {false, "4", "0", true, true, false, true, true},
        {false, "1", "1", false, false, false, true, true}, {true, "1", "1", false, false, true, true, true},
        {true, "2", "1", false, false, true, true, true}, {true, "1", "0", true, false, false, true, true},
        {true, "2", "0", true, false, false, false, false},
        {true, "2", "99999", false, false, true, true, true}, // a kind beyond 16 bits
        {true, "65537", "0", true, false, false, false, false}, // a track number beyond 16 bits
    };
    for (const auto& [shownBefore, trackNumber, kind, shownAfter, revealed, erased, cleared, fetchStarted] : rows) {
        SCOPED_TRACE(std::string(shownBefore ? "shown, " : "hidden, ") + trackNumber + ", " + kind);
        PlxRig plx;
        if (shownBefore) { // an album whose entry up next is shown
            plx.Say(Playing({.title = "Album Track 1", .trackNumber = "1"}));
            plx.FetchNext("3", {.title = "Album", .kind = "0"}, {.artist = "After", .title = "The Album"});
            ASSERT_TRUE(plx.Visible(Label::AlbumNotice));
        }
        plx.fake.board.repaints.clear();
        plx.fake.board.SetCaption(Label::NextInfo, "After - The Album");
        const std::size_t armings = plx.fake.dTimer.armedIntervals.size();
        plx.Say(Playing({.title = "Now", .trackNumber = trackNumber}));
        // Track 1 clears it even under the notice; without the notice it goes at once.
        EXPECT_EQ(plx.Caption(Label::NextInfo).empty(), !shownBefore || std::string(trackNumber) == "1");
        plx.Current("3", {.title = "Now", .kind = kind});
        const Commands& steps = plx.fake.board.repaints[Label::AlbumNotice];
        EXPECT_EQ(plx.Visible(Label::AlbumNotice), shownAfter);
        EXPECT_EQ(steps.size() > 1 && steps[1] == "[A", revealed);
        EXPECT_EQ(steps.size() > 1 && steps[1] == "[Albu", erased);
        EXPECT_EQ(plx.Caption(Label::NextInfo).empty(), cleared);
        EXPECT_EQ(plx.fake.dTimer.armedIntervals.size() > armings, fetchStarted);
        if (!fetchStarted) continue;
        // While the notice is up, the entry after the album counts as fetched.
        plx.fake.saver.DTimerTick();
        plx.Current("3", {.artist = "After", .title = "Later"});
        EXPECT_EQ(plx.Caption(Label::NextInfo), "After - Later");
        plx.Say(Playing({.title = "Now 2", .trackNumber = "2"}));
        plx.Current("4", {.title = "Now 2", .kind = kind});
        EXPECT_EQ(plx.fake.dTimer.enabled, !shownAfter);
        EXPECT_EQ(plx.Caption(Label::NextInfo).empty(), !shownAfter);
    }
}

TEST(PlayState, EveryRowOfThePlayStateTable)
{
    const std::tuple<std::string, bool, bool, bool, bool, bool, bool, Ints> rows[] = {
        {Playing({}), false, false, true, false, false, false, {}},
        {Playing({}), false, true, true, true, false, false, {}},
        {"playlist_play[]", false, false, true, true, false, false, {5000}},
        {"playlist_play[]", true, false, true, false, false, false, {}},
        {"playlist_play[]", true, true, true, true, false, false, {}},
        {"playlist_stop[]", true, true, false, false, false, true, {}},
        {"playlist_pause[]", true, true, false, false, true, false, {}},
    };
    for (const auto& [message, playingBefore, playIconBefore, playingAfter, play, pause, stop, armed] : rows) {
        SCOPED_TRACE(message + (playingBefore ? " while playing" : " while not playing"));
        PlxRig plx;
        plx.Say(playingBefore ? "playlist_play[]" : "playlist_pause[]");
        plx.fake.board.SetVisible(Picture::Play, playIconBefore);
        plx.fake.board.SetVisible(Picture::Pause, !pause);
        plx.fake.board.SetVisible(Picture::Stopsign, !stop);
        plx.fake.playIconTimer = {};
        plx.Say(message);
        EXPECT_EQ(plx.Visible(Picture::Play), play);
        EXPECT_EQ(plx.Visible(Picture::Pause), pause);
        EXPECT_EQ(plx.Visible(Picture::Stopsign), stop);
        EXPECT_EQ(plx.fake.playIconTimer.armedIntervals, armed);
        EXPECT_EQ(plx.fake.playIconTimer.enabled, !armed.empty());
        plx.Say("playlist_play[]"); // shows the play icon only after a stop or a pause
        EXPECT_EQ(plx.fake.playIconTimer.armedIntervals.size(), armed.size() + !playingAfter);
    }
    PlxRig plx;
    plx.Say("playlist_play[]");
    plx.fake.saver.PlayIconTimerTick();
    EXPECT_FALSE(plx.Visible(Picture::Play));
    EXPECT_FALSE(plx.fake.playIconTimer.enabled);
}

TEST(TimeLabel, ShowsElapsedAndLengthOnceALengthIsKnownAndTheLengthOnAStop)
{
    const std::tuple<const char*, std::string, const char*> rows[] = { // length, message, caption
        {"4:05", "time[1:23]", "1:23 / 4:05"}, {"4:05", "time[]", " / 4:05"}, // six characters: an empty time
        {"", "time[1:23]", "..."}, {"4:05", "time\xC2\xAB" "1:23\xC2\xBB", "1:23 / 4:05"},
        {"4:05", "timecode[9]", "ode[9 / 4:05"}, // the keyword decides, the rest is passed through
        {"4:05", "playlist_stop[]", "4:05"},
    };
    for (const auto& [length, message, caption] : rows) {
        SCOPED_TRACE(message);
        PlxRig plx;
        plx.Say(Playing({.length = length}));
        plx.Say("time[0:01]");
        plx.Say(message);
        EXPECT_EQ(plx.Caption(Label::TrackTime), caption);
    }
}

// Whatever PLX sends, the saver neither crashes nor reads outside a text; a message is taken whole or not at all.
struct Case {
    std::string message;
    bool wantCurrent;
    std::optional<bool> malformed; // nullopt: either taken whole or changing nothing
};

// Everything a message could change; a caption set shows in its history's size.
auto State(const PlxRig& plx)
{
    const auto& f = plx.fake;
    const WendelSaverMain& w = f.saver;
    std::map<Label, std::size_t> captionsSet;
    for (const auto& [label, history] : f.board.captionHistory) captionsSet[label] = history.size();
    return std::make_tuple(captionsSet, f.board.labelVisible, f.board.pictureVisible,
                           f.link.calls.size(), f.pictures.probed.size(), f.dTimer.enabled, f.dTimer.armedIntervals,
                           f.imageErrorTimer.enabled, f.imageErrorTimer.armedIntervals, f.playIconTimer.armedIntervals,
                           w.IsPlaying, w.WantCurrentEntry, w.AlbumNextShown, w.LastPlaying, w.TrackLength,
                           w.PlayingTitle, w.CoverPath, w.FieldEnd, w.PlayingTrackNumber, w.NextRetries,
                           w.CoverRetryCount);
}

std::vector<Case> BuildCases()
{
    std::vector<Case> cases;
    const std::string playing = Playing({.title = "Other Song"});
    const std::string entry = Entry({.title = "Other Entry"});
    const std::string nonAscii = Playing({.album = "\xC3\x84rzte Live", .artist = "Die \xC3\x84rzte",
                                          .title = "\xE6\x9D\xB1\xE4\xBA\xAC", .cover = "/\xC3\xA9.jpg"});
    // Truncated at every byte, inside characters too: only the last closing character may go.
    for (const std::string& message : {playing, entry, nonAscii, std::string("playlist_pointer[12]")}) {
        for (std::size_t n = 0; n + 1 < message.size(); ++n) {
            cases.push_back({message.substr(0, n), false, true});
            // An empty pointer is entry 0 when the playing entry is wanted.
            if (n + 2 < message.size()) cases.push_back({message.substr(0, n), true, true});
        }
    }
    for (std::size_t n = 0; n < 6; ++n) cases.push_back({std::string("time[1:23]").substr(0, n), true, true});
    // Quotes taken away: only the n-th, or all from the n-th on while a field end needs one.
    for (const std::string& message : {playing, entry}) {
        std::size_t n = 0;
        for (std::size_t at = message.find('"'); at != std::string::npos; at = message.find('"', at + 1), ++n) {
            std::string rest = message.substr(at);
            std::erase(rest, '"');
            if (n < (message == playing ? 7u : 8u)) cases.push_back({message.substr(0, at) + rest, false, true});
            cases.push_back({message.substr(0, at) + message.substr(at + 1), n % 2 == 0, std::nullopt});
        }
    }
    // Pointers that give nothing to count from when the entry after is wanted.
    for (const char* index : {"", "abc", "5x", "1 2", "- 1", "&H", ".", "1e", "\xEF\xBC\x95", "1e999"}) {
        cases.push_back({"playlist_pointer[" + std::string(index) + "]", false, true});
    }
    // As long as a frame may be: positions beyond 16 bits cannot be held, even in a field never shown; the
    // last field has no end to hold.
    const std::string huge(60000, 'x'), nines(60000, '9');
    const Case hugeCases[] = {
        {Playing({.album = std::string(40000, 'a')}), true, true}, {Playing({.unused = huge}), true, true},
        {Entry({.title = huge}), false, true}, {"playing[" + huge + "]", true, true},
        {"playlist_item[" + huge + "]", false, true}, {"playlist_pointer[" + nines + "]", false, true},
        {"playlist_pointer[" + nines + "]", true, true}, {huge, true, true}, {std::string(60000, '\0'), true, true},
        {"playlist_item[" + std::string(60000, '"') + "]", false, false},
        {Playing({.title = "Long Unused", .unused = std::string(30000, 'u')}), true, false},
        {Playing({.title = "Huge Number", .trackNumber = nines}), true, false},
        {Entry({.title = "Huge Kind", .kind = std::string(60000, '0')}), false, false},
        {"time[" + nines + "]", true, false},
    };
    cases.insert(cases.end(), std::begin(hugeCases), std::end(hugeCases));
    std::mt19937 random(20261206);
    const std::string alphabet = "\"\",]a1 0\"";
    auto pick = [&](std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random); };
    for (int i = 0; i < 160; ++i) {
        std::string message = i % 2 ? playing : entry;
        for (std::size_t edits = 1 + pick(4); edits > 0; --edits) {
            const std::size_t at = 14 + pick(message.size() - 14);
            const char c = alphabet[pick(alphabet.size())];
            switch (pick(3)) {
            case 0: message.erase(at, 1); break;
            case 1: message.insert(at, 1, c); break;
            default: message[at] = c; break;
            }
        }
        cases.push_back({message, pick(2) == 0, std::nullopt});
    }
    return cases;
}

TEST(MalformedMessages, ChangeNothingAndNeverCrash)
{
    PlxRig plx;
    plx.Say(Playing({.title = "Song", .length = "4:05"}));
    plx.FetchNext("5", {.title = "Song"}, {.artist = "Band", .title = "Next Song"});
    plx.Say("time[0:01]");
    ASSERT_EQ(plx.Caption(Label::NextInfo), "Band - Next Song");

    const std::vector<Case> cases = BuildCases();
    int malformed = 0, taken = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.message.substr(0, 120));
        // Vary what a message could wrongly switch: the play flag, a pending pointer query and cover retry.
        plx.fake.saver.WantCurrentEntry = c.wantCurrent;
        plx.fake.saver.IsPlaying = i % 2 == 0;
        plx.fake.dTimer.enabled = i % 3 == 0;
        plx.fake.imageErrorTimer.enabled = i % 5 == 0;
        const auto before = State(plx);
        auto& history = plx.fake.board.captionHistory;
        const std::size_t nextInfoSet = history[Label::NextInfo].size(), timeSet = history[Label::TrackTime].size();
        const std::size_t calls = plx.fake.link.calls.size();
        plx.Say(c.message);

        // What a message taken whole always leaves behind.
        const std::string& m = c.message;
        bool whole = plx.fake.link.calls.size() > calls;
        if (m.starts_with("playing")) whole = plx.fake.saver.LastPlaying == m;
        if (m.starts_with("playlist_item")) {
            whole = c.wantCurrent ? !plx.fake.saver.WantCurrentEntry : history[Label::NextInfo].size() > nextInfoSet;
        }
        if (m.starts_with("time")) whole = history[Label::TrackTime].size() > timeSet;
        const bool unchanged = State(plx) == before;
        EXPECT_EQ(unchanged, c.malformed.value_or(unchanged));
        EXPECT_TRUE(unchanged || whole);
        malformed += unchanged;
        taken += !unchanged;
    }
    EXPECT_GE(malformed, 200);
    EXPECT_GE(taken, 20); // the random edits reach the valid side too
    EXPECT_EQ(plx.fake.process.exitCalls, 0);
    EXPECT_TRUE(plx.fake.boxes.shown.empty());
}

TEST(MalformedMessages, RoutinesCalledWithFieldEndsThatDoNotFitDoNothing)
{
    PlxRig plx;
    plx.Say(Playing({}));
    const auto before = State(plx);
    // FieldEnd still describes the "playing" text; these texts are other ones.
    plx.fake.saver.ShowPlayingItem("\"A\"]");
    plx.fake.saver.CheckCurrentEntry("");
    plx.fake.saver.ShowNextEntry("\"x\"");
    EXPECT_TRUE(State(plx) == before);
}

} // namespace
} // namespace wendel::testing
