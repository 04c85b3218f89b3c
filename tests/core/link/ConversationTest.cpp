// Whole conversations with PLX through the fakes: the dispatcher, the playing
// item, the fetch of the entry up next, the album notice and the play state.
#include "link/PlxRig.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace wendel {
namespace {

using testing::Entry;
using testing::EntryFields;
using testing::Playing;
using testing::PlayingFields;
using testing::PlxRig;
using Commands = std::vector<std::string>;

// The handshake order itself is pinned by SaverLoad.RunsItsStepsInOrder.

TEST(Dispatcher, FirstMessageOnTheReceivingDeviceHidesTheWaitingLabel)
{
    for (const char* first : {"hello", "", "time[0:01]", "playlist_stop[]", "playing"}) {
        SCOPED_TRACE(first);
        PlxRig plx;
        plx.Say(first);
        EXPECT_TRUE(plx.fake.saver.LinkHeard);
        EXPECT_FALSE(plx.Visible(Label::NoPLX));
        // Later messages leave that label alone.
        plx.fake.board.SetVisible(Label::NoPLX, true);
        plx.Say("hello again");
        EXPECT_TRUE(plx.Visible(Label::NoPLX));
    }
}

TEST(Dispatcher, MessagesOnAnyOtherDeviceAreIgnored)
{
    PlxRig plx;
    const auto captionsBefore = plx.fake.board.captionHistory;
    const auto picturesBefore = plx.fake.board.pictureVisibilityHistory;
    for (const char* device : {"plx", "PLXR", "plxr ", ""}) {
        for (const std::string& message :
             {Playing({}), std::string("time[1:23]"), std::string("playlist_pointer[5]"),
              std::string("playlist_play[]"), std::string("playlist_stop[]"), Entry({}), std::string("x")}) {
            plx.fake.link.Deliver(device, message);
        }
    }
    EXPECT_FALSE(plx.fake.saver.LinkHeard);
    EXPECT_TRUE(plx.Visible(Label::NoPLX));
    EXPECT_EQ(plx.fake.board.captionHistory, captionsBefore);
    EXPECT_EQ(plx.fake.board.pictureVisibilityHistory, picturesBefore);
    EXPECT_TRUE(plx.NewCommands().empty());
    EXPECT_FALSE(plx.fake.saver.IsPlaying);
}

TEST(Dispatcher, KeywordsAreComparedExactlyOverTheirLength)
{
    struct Row {
        const char* message;
        bool stops; // recognised as "playlist_stop"
    };
    const Row rows[] = {
        {"playlist_stop[]", true},  {"playlist_stopped now", true}, {"playlist_stop", true},
        {"Playlist_stop[]", false}, {"playlist_sto", false},        {" playlist_stop[]", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        PlxRig plx;
        plx.Say(row.message);
        EXPECT_EQ(plx.Visible(Picture::Stopsign), row.stops);
    }
}

TEST(Dispatcher, FindFieldEndsFillsTheCountedSlotsAndConsumesTheText)
{
    PlxRig plx;
    plx.fake.saver.FieldEnd.fill(99);
    std::string text = R"("A","BB","CCC"])";
    plx.fake.saver.FindFieldEnds(3, text);
    EXPECT_EQ(plx.fake.saver.FieldEnd, (std::array<std::int16_t, 7>{4, 9, 15, 99, 99, 99, 99}));
    EXPECT_EQ(text, "");
}

TEST(PlayingItem, ShowsTheTextsLoadsTheCoverAndAsksForThePointer)
{
    PlxRig plx;
    plx.Say("time[0:07]");
    plx.Say(Playing({}));

    EXPECT_EQ(plx.Caption(Label::Track), "Song");
    EXPECT_EQ(plx.Caption(Label::ArtistAlbum), "Various - Hits");
    EXPECT_EQ(plx.Caption(Label::TrackTime), "...");
    EXPECT_TRUE(plx.Visible(Label::Track));
    EXPECT_TRUE(plx.Visible(Label::ArtistAlbum));
    // The title is drawn in first, from its end, then the artist/album line.
    const auto& track = plx.fake.board.repaints[Label::Track];
    const auto& artistAlbum = plx.fake.board.repaints[Label::ArtistAlbum];
    EXPECT_EQ(track, (Commands{"g", "ng", "ong", "Song"}));
    ASSERT_FALSE(artistAlbum.empty());
    EXPECT_EQ(artistAlbum.front(), "s");
    EXPECT_EQ(artistAlbum.back(), "Various - Hits");

    EXPECT_EQ(plx.fake.pictures.probed, (Commands{"/covers/a.jpg"}));
    EXPECT_TRUE(plx.fake.saver.CoverDecoding); // it shows when its decode reports
    EXPECT_FALSE(plx.fake.imageErrorTimer.enabled);

    EXPECT_EQ(plx.NewCommands(), (Commands{"playlist_getpointer"}));
    EXPECT_TRUE(plx.fake.saver.WantCurrentEntry);
    EXPECT_EQ(plx.fake.saver.PlayingTitle, "Song");
    EXPECT_EQ(plx.fake.saver.TrackLength, "4:05");
    EXPECT_EQ(plx.fake.saver.PlayingTrackNumber, 3);
    EXPECT_EQ(plx.fake.saver.NextRetries, 1);
}

TEST(PlayingItem, TitleAndArtistAlbumForEveryKindOfField)
{
    struct Row {
        PlayingFields fields;
        const char* track;
        const char* artistAlbum;
    };
    const Row rows[] = {
        {{.album = "Hits", .artist = "Various", .title = "Song"}, "Song", "Various - Hits"},
        {{.album = "...", .artist = "Ravens, The"}, "Song", "The Ravens - The Ravens"},
        {{.album = "Live", .artist = "RAVENS, THE"}, "Song", "The RAVENS - Live"},
        {{.album = "Live", .artist = "Soothe"}, "Song", "Soothe - Live"},
        {{.album = "Hits", .artist = "Various", .title = "!a{Guest}t{Song}!"}, "Song", "Guest: Various - Hits"},
        {{.album = "...", .artist = "Various", .title = "!a{Guest}t{Song}!"}, "Song", "Guest: Various - Various"},
        {{.title = "!a{Guest}t{Song}"}, "!a{Guest}t{Song}", "Various - Hits"},
        {{.title = "!a{Guest Song}!"}, "!a{Guest Song}!", "Various - Hits"}, // no "}t{": plain
        {{.album = "", .artist = "", .title = ""}, "", " - "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Playing(row.fields));
        PlxRig plx;
        plx.Say(Playing(row.fields));
        EXPECT_EQ(plx.Caption(Label::Track), row.track);
        EXPECT_EQ(plx.Caption(Label::ArtistAlbum), row.artistAlbum);
        EXPECT_EQ(plx.fake.saver.PlayingTitle, row.fields.title);
    }
}

TEST(PlayingItem, FieldsAreCutByCharactersWhateverTheDelimiters)
{
    PlxRig plx;
    // Guillemets and middle dots, each two bytes, where PLX puts [ ] and commas.
    const std::string dot = "\xC2\xB7";
    plx.Say("playing\xC2\xAB\"\xC3\x84lbum\"" + dot + "\"Artist\"" + dot + "\"T\xC3\xAFtle\"" + dot + "\"4:05\"" + dot +
            "\"/covers/a.jpg\"" + dot + "\"\"" + dot + "\"1\"\xC2\xBB");
    EXPECT_EQ(plx.Caption(Label::Track), "T\xC3\xAFtle");
    EXPECT_EQ(plx.Caption(Label::ArtistAlbum), "Artist - \xC3\x84lbum");
    EXPECT_EQ(plx.fake.saver.TrackLength, "4:05");
    EXPECT_EQ(plx.fake.saver.PlayingTrackNumber, 1);
    EXPECT_EQ(plx.fake.pictures.probed, (Commands{"/covers/a.jpg"}));
}

TEST(PlayingItem, SameArtistAndAlbumRevealsOnlyTheTitle)
{
    PlxRig plx;
    plx.Say(Playing({.title = "One"}));
    const std::size_t artistAlbumCaptions = plx.fake.board.captionHistory[Label::ArtistAlbum].size();
    const std::size_t artistAlbumRepaints = plx.fake.board.repaints[Label::ArtistAlbum].size();

    plx.Say(Playing({.title = "Two"}));
    EXPECT_EQ(plx.Caption(Label::Track), "Two");
    EXPECT_EQ(plx.fake.board.captionHistory[Label::ArtistAlbum].size(), artistAlbumCaptions);
    EXPECT_EQ(plx.fake.board.repaints[Label::ArtistAlbum].size(), artistAlbumRepaints);
    EXPECT_TRUE(plx.Visible(Label::ArtistAlbum));
}

TEST(PlayingItem, RepeatedMessageChangesNoTextButStillCancelsAndHidesIcons)
{
    PlxRig plx;
    plx.Say(Playing({}));
    plx.Say("playlist_pointer[5]");
    plx.Say(Entry({}));
    ASSERT_TRUE(plx.fake.dTimer.enabled);
    plx.fake.imageErrorTimer.enabled = true;
    plx.fake.board.SetVisible(Picture::Pause, true);
    plx.fake.board.SetVisible(Picture::Stopsign, true);
    plx.fake.saver.IsPlaying = false;
    const auto captions = plx.fake.board.captionHistory;
    plx.NewCommands();

    plx.Say(Playing({}));
    EXPECT_EQ(plx.fake.board.captionHistory, captions);
    EXPECT_TRUE(plx.NewCommands().empty());
    EXPECT_FALSE(plx.fake.dTimer.enabled); // the pending pointer query is dropped
    EXPECT_FALSE(plx.fake.imageErrorTimer.enabled);
    EXPECT_FALSE(plx.Visible(Picture::Pause));
    EXPECT_FALSE(plx.Visible(Picture::Stopsign));
    EXPECT_TRUE(plx.fake.saver.IsPlaying);
}

TEST(PlayingItem, TrackNumberOneClearsUpNextEvenUnderTheAlbumNotice)
{
    struct Row {
        bool noticeUp;
        const char* number;
        bool cleared;
        std::int16_t stored;
    };
    const Row rows[] = {
        {true, "1", true, 1},   {true, "2", false, 2},      {false, "2", true, 2},
        {true, "1.4", true, 1}, {true, "1.5", false, 2},
        {true, "70000", false, 0}, // beyond 16 bits: simply not 1
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.number);
        PlxRig plx;
        plx.fake.board.SetCaption(Label::NextInfo, "Band - Next");
        plx.fake.board.SetVisible(Label::AlbumNotice, row.noticeUp);
        plx.Say(Playing({.trackNumber = row.number}));
        EXPECT_EQ(plx.Caption(Label::NextInfo), row.cleared ? "" : "Band - Next");
        EXPECT_EQ(plx.fake.saver.PlayingTrackNumber, row.stored);
    }
}

TEST(PlayingItem, CoverCodesChooseTheRetry)
{
    struct Row {
        const char* cover;
        std::vector<std::string> probed;
        std::vector<int> armed;
        const char* coverPathAfter;
        std::int32_t retryCount;
    };
    const Row rows[] = {
        {"/covers/c.jpg", {"/covers/c.jpg"}, {}, "/covers/c.jpg", 0},
        {"", {"/covers/default.jpg"}, {}, "/covers/default.jpg", 0},
        {"/covers/locked.jpg", {"/covers/locked.jpg"}, {3000}, "/covers/locked.jpg", 1},
        {"/covers/missing.jpg", {"/covers/missing.jpg"}, {500}, "/covers/default.jpg", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cover);
        PlxRig plx("3");
        plx.Say(Playing({.cover = row.cover}));
        EXPECT_EQ(plx.fake.pictures.probed, row.probed);
        EXPECT_EQ(plx.fake.imageErrorTimer.armedIntervals, row.armed);
        EXPECT_EQ(plx.fake.saver.CoverPath, row.coverPathAfter);
        EXPECT_EQ(plx.fake.saver.CoverRetryCount, row.retryCount);
    }
}

TEST(FetchCycle, PointerEntryOverlapPointerAndTheEntryUpNext)
{
    PlxRig plx;
    plx.Say(Playing({}));
    EXPECT_EQ(plx.NewCommands(), (Commands{"playlist_getpointer"}));

    plx.Say("playlist_pointer[5]");
    EXPECT_EQ(plx.NewCommands(), (Commands{"playlist_getitem[ 5]"}));

    plx.Say(Entry({.title = "Song"})); // the playing entry
    EXPECT_TRUE(plx.NewCommands().empty());
    EXPECT_TRUE(plx.fake.dTimer.enabled);
    EXPECT_EQ(plx.fake.dTimer.armedIntervals, (std::vector<int>{2000}));
    EXPECT_FALSE(plx.fake.saver.WantCurrentEntry);

    plx.fake.saver.DTimerTick();
    EXPECT_EQ(plx.NewCommands(), (Commands{"playlist_getpointer"}));
    EXPECT_FALSE(plx.fake.dTimer.enabled);

    plx.Say("playlist_pointer[5]");
    EXPECT_EQ(plx.NewCommands(), (Commands{"playlist_getitem[ 6]"}));

    plx.Say(Entry({.position = "6", .artist = "Band", .title = "Next Song"}));
    EXPECT_EQ(plx.Caption(Label::NextInfo), "Band - Next Song");
    EXPECT_EQ(plx.fake.board.repaints[Label::NextInfo].front(), "g");
    EXPECT_TRUE(plx.Visible(Label::NextInfo));
    EXPECT_TRUE(plx.Visible(Label::Caption_Upnext));
    EXPECT_EQ(plx.Caption(Label::Caption_Upnext), "Up Next:");
    EXPECT_TRUE(plx.fake.saver.WantCurrentEntry);
    // The cycle rests until the next "playing" message.
    EXPECT_TRUE(plx.NewCommands().empty());
    EXPECT_FALSE(plx.fake.dTimer.enabled);
}

TEST(FetchCycle, RetriesWhileThePointerStillStandsOnThePlayingItem)
{
    PlxRig plx("3");
    plx.Say(Playing({.title = "Song"}));
    plx.Say("playlist_pointer[5]");
    plx.Say(Entry({.title = "Song"}));

    // The pointer has not moved on: the entry "after" it is the playing one.
    for (int retry = 2; retry <= 3; ++retry) {
        SCOPED_TRACE(retry);
        plx.fake.board.SetCaption(Label::NextInfo, "stale");
        plx.fake.saver.DTimerTick();
        plx.Say("playlist_pointer[4]");
        plx.Say(Entry({.position = "5", .title = "Song"}));
        EXPECT_EQ(plx.Caption(Label::NextInfo), "");
        EXPECT_TRUE(plx.fake.dTimer.enabled);
        EXPECT_EQ(plx.fake.saver.NextRetries, retry);
        EXPECT_FALSE(plx.fake.saver.WantCurrentEntry);
    }
    // The third answer is shown whatever it holds.
    plx.fake.saver.DTimerTick();
    plx.Say("playlist_pointer[4]");
    plx.Say(Entry({.position = "5", .artist = "Band", .title = "Song"}));
    EXPECT_EQ(plx.Caption(Label::NextInfo), "Band - Song");
    EXPECT_FALSE(plx.fake.dTimer.enabled);
    EXPECT_EQ(plx.fake.dTimer.armedIntervals, (std::vector<int>{3000, 3000, 3000}));
    EXPECT_EQ(plx.NewCommands(),
              (Commands{"playlist_getpointer", "playlist_getitem[ 5]", "playlist_getpointer", "playlist_getitem[ 5]",
                        "playlist_getpointer", "playlist_getitem[ 5]", "playlist_getpointer", "playlist_getitem[ 5]"}));
}

TEST(FetchCycle, BeforeAnyPlayingMessageThreeRetriesAreMade)
{
    PlxRig plx;
    plx.Say("playlist_pointer[1]");
    plx.Say(Entry({.title = ""}));
    int retries = 0;
    while (plx.fake.dTimer.enabled && retries < 10) {
        plx.fake.saver.DTimerTick();
        plx.Say("playlist_pointer[1]");
        plx.Say(Entry({.title = ""})); // equals the empty PlayingTitle
        ++retries;
    }
    EXPECT_EQ(retries, 4); // three retries, then the fourth answer is shown
    EXPECT_EQ(plx.Caption(Label::NextInfo), "Band - ");
}

TEST(FetchCycle, PlayingMessageCancelsThePendingPointerQuery)
{
    PlxRig plx;
    plx.Say(Playing({.title = "One"}));
    plx.Say("playlist_pointer[5]");
    plx.Say(Entry({.title = "One"}));
    ASSERT_TRUE(plx.fake.dTimer.enabled);
    plx.Say(Playing({.title = "Two"}));
    EXPECT_FALSE(plx.fake.dTimer.enabled);
    EXPECT_TRUE(plx.fake.saver.WantCurrentEntry);
}

// A jukebox that restarts inside the overlap wait replays the playing item
// unchanged (from the same connection such a repeat changes nothing, see
// PlayingItem.RepeatedMessage...). After a new connection the replay runs
// the playing item again: the fetch and a cover retry start afresh.
TEST(FetchCycle, AReconnectionStartsTheCycleAgain)
{
    struct Row {
        const char* cover;
        std::vector<int> coverRetry; // armed by the replayed "playing"
    };
    const Row rows[] = {{"/covers/a.jpg", {}}, {"/covers/locked.jpg", {3000}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cover);
        PlxRig plx("3");
        plx.fake.link.Connect(); // the first connection changes nothing
        const std::string playing = Playing({.title = "Song", .cover = row.cover});
        plx.Say(playing);
        plx.Say("playlist_pointer[5]");
        plx.Say(Entry({.title = "Song"}));
        ASSERT_TRUE(plx.fake.dTimer.enabled); // inside the overlap wait
        plx.NewCommands();
        plx.fake.imageErrorTimer.armedIntervals.clear();

        plx.fake.link.Connect();
        plx.Say(playing);
        EXPECT_EQ(plx.NewCommands(), (Commands{"playlist_getpointer"}));
        EXPECT_TRUE(plx.fake.saver.WantCurrentEntry);
        EXPECT_EQ(plx.fake.imageErrorTimer.armedIntervals, row.coverRetry);
        EXPECT_EQ(plx.fake.pictures.probed, (Commands{row.cover, row.cover})); // loaded afresh
        EXPECT_EQ(plx.Caption(Label::Track), "Song");

        plx.FetchNext("5", {.title = "Song"}, {.position = "6", .artist = "Band", .title = "Next Song"});
        EXPECT_EQ(plx.Caption(Label::NextInfo), "Band - Next Song");
    }
}

TEST(FetchCycle, PointerReplyAsksForTheEntryAtOrAfterThePointer)
{
    struct Row {
        bool wantCurrent;
        const char* message;
        Commands sent;
    };
    const Row rows[] = {
        {true, "playlist_pointer[12]", {"playlist_getitem[ 12]"}},
        {false, "playlist_pointer[12]", {"playlist_getitem[ 13]"}},
        {true, "playlist_pointer[0]", {"playlist_getitem[ 0]"}},
        {false, "playlist_pointer[-5]", {"playlist_getitem[-4]"}},
        {false, "playlist_pointer[ 7 ]", {"playlist_getitem[ 8]"}},
        {true, "playlist_pointer[abc]", {"playlist_getitem[ 0]"}}, // no number: entry 0
        {true, "playlist_pointer[5x]", {"playlist_getitem[ 5]"}},  // the number it begins with
        {true, "playlist_pointer\xC2\xAB" "9\xC2\xBB", {"playlist_getitem[ 9]"}},
        // Malformed: nothing is asked for.
        {false, "playlist_pointer[5x]", {}},
        {true, "playlist_pointer[1e999]", {}},
        {true, "playlist_pointer[", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        PlxRig plx;
        plx.fake.saver.WantCurrentEntry = row.wantCurrent;
        plx.Say(row.message);
        EXPECT_EQ(plx.NewCommands(), row.sent);
        EXPECT_EQ(plx.fake.saver.WantCurrentEntry, row.wantCurrent);
    }
}

TEST(FetchCycle, OverlapTooSmallForAWholeMillisecondStillTicks)
{
    for (const char* overlap : {"0.0000001", "0.0004"}) {
        SCOPED_TRACE(overlap);
        PlxRig plx(overlap);
        plx.Say(Playing({.title = "Song", .cover = "/covers/locked.jpg"}));
        plx.Say("playlist_pointer[5]");
        plx.Say(Entry({.title = "Song"}));
        plx.fake.saver.DTimerTick();
        plx.Say("playlist_pointer[5]");
        plx.Say(Entry({.title = "Song"})); // a retry arms it again
        EXPECT_EQ(plx.fake.dTimer.armedIntervals, (std::vector<int>{1, 1}));
        EXPECT_EQ(plx.fake.imageErrorTimer.armedIntervals, (std::vector<int>{1}));
    }
    PlxRig huge("1e30");
    huge.Say(Playing({}));
    huge.Say("playlist_pointer[5]");
    huge.Say(Entry({}));
    EXPECT_EQ(huge.fake.dTimer.armedIntervals, (std::vector<int>{INT_MAX}));
}

TEST(UpNext, WhatNextInfoReadsForEachKindOfEntry)
{
    struct Row {
        EntryFields entry;
        const char* nextInfo;
    };
    const Row rows[] = {
        {{.album = "Live", .artist = "Band", .title = "Next Song"}, "Band - Next Song"},
        {{.album = "...", .artist = "Band", .title = "Next Song"}, "Band - Next Song"},
        {{.album = "Hits", .artist = "Various", .title = "!a{Guest}t{Song}!"}, "Guest - Song (Various)"},
        {{.album = "Live", .artist = "Ravens, The", .kind = "0"}, "The Ravens - Live [Album]"},
        {{.album = "...", .artist = "Band", .kind = "0"}, "Band - Band [Album]"},
        {{.album = "Hits", .artist = "Various", .title = "!a{Guest}t{Song}!", .kind = "0"},
         "Guest - Various [Album]"},
        {{.artist = "Band", .title = "!a{Guest Song}!"}, "Band - !a{Guest Song}!"}, // no "}t{": plain
        {{.artist = "Band", .title = "X", .kind = "0.4"}, "Band - Live [Album]"},
        {{.artist = "Band", .title = "X", .kind = "0.5"}, "Band - Live [Album]"},
        {{.artist = "Band", .title = "X", .kind = "1.5"}, "Band - X"},
        {{.artist = "Band", .title = "X", .kind = "1e10"}, "Band - X"}, // beyond 32 bits: not 0
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Entry(row.entry));
        PlxRig plx;
        plx.Say(Playing({.title = "Playing Now"}));
        plx.FetchNext("5", {.title = "Playing Now"}, row.entry);
        EXPECT_EQ(plx.Caption(Label::NextInfo), row.nextInfo);
        EXPECT_TRUE(plx.Visible(Label::Caption_Upnext));
        EXPECT_TRUE(plx.fake.saver.WantCurrentEntry);
    }
}

TEST(UpNext, ArtistOfFewerThanTwoCharactersIsNoEntry)
{
    for (const char* artist : {"", "X", "\xC3\x84"}) {
        SCOPED_TRACE(artist);
        PlxRig plx;
        plx.Say(Playing({.title = "Playing Now"}));
        plx.FetchNext("5", {.title = "Playing Now"}, {.artist = "Band"});
        ASSERT_TRUE(plx.Visible(Label::Caption_Upnext));
        plx.Say(Playing({.title = "Playing Later"}));
        plx.FetchNext("6", {.title = "Playing Later"}, {.artist = artist});
        EXPECT_EQ(plx.Caption(Label::NextInfo), "");
        EXPECT_FALSE(plx.Visible(Label::Caption_Upnext));
        EXPECT_FALSE(plx.fake.saver.WantCurrentEntry);
        EXPECT_FALSE(plx.fake.dTimer.enabled);
        // The next playing item starts a new cycle.
        plx.Say(Playing({.title = "Third"}));
        plx.FetchNext("7", {.title = "Third"}, {.artist = "Band", .title = "Fourth"});
        EXPECT_EQ(plx.Caption(Label::NextInfo), "Band - Fourth");
        EXPECT_TRUE(plx.Visible(Label::Caption_Upnext));
    }
}

// Brings the album notice up for an album whose entry up next is shown.
void PlayAlbum(PlxRig& plx)
{
    plx.Say(Playing({.title = "Album Track 1", .trackNumber = "1"}));
    plx.FetchNext("3", {.title = "Album", .kind = "0"}, {.artist = "After", .title = "The Album"});
    ASSERT_TRUE(plx.Visible(Label::AlbumNotice));
    ASSERT_EQ(plx.Caption(Label::NextInfo), "After - The Album");
}

TEST(AlbumNotice, EveryRowOfTheStateTable)
{
    enum class Start { Hidden, Shown };
    struct Row {
        const char* name;
        Start start;
        const char* trackNumber;
        const char* kind;
        bool shownAfter;
        bool revealed;
        bool erased;
        bool nextInfoCleared;
        bool fetchStarted;
    };
    const Row rows[] = {
        {"hidden, album", Start::Hidden, "1", "0", true, true, false, true, true},
        {"hidden, album from track 4", Start::Hidden, "4", "0", true, true, false, true, true},
        {"hidden, track", Start::Hidden, "1", "1", false, false, false, true, true},
        {"shown, track", Start::Shown, "1", "1", false, false, true, true, true},
        {"shown, track after an album track", Start::Shown, "2", "1", false, false, true, true, true},
        {"shown, album, track 1", Start::Shown, "1", "0", true, false, false, true, true},
        {"shown, album, track 2", Start::Shown, "2", "0", true, false, false, false, false},
        {"shown, kind beyond 16 bits", Start::Shown, "2", "99999", false, false, true, true, true},
        {"shown, track number beyond 16 bits", Start::Shown, "65537", "0", true, false, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PlxRig plx;
        if (row.start == Start::Shown) PlayAlbum(plx);
        const std::size_t noticeCaptions = plx.fake.board.captionHistory[Label::AlbumNotice].size();
        const std::size_t armings = plx.fake.dTimer.armedIntervals.size();

        plx.Say(Playing({.title = "Now", .trackNumber = row.trackNumber}));
        plx.Say("playlist_pointer[3]");
        plx.Say(Entry({.title = "Now", .kind = row.kind}));

        const std::vector<std::string> noticeSteps(
            plx.fake.board.captionHistory[Label::AlbumNotice].begin() + static_cast<long>(noticeCaptions),
            plx.fake.board.captionHistory[Label::AlbumNotice].end());
        EXPECT_EQ(plx.Visible(Label::AlbumNotice), row.shownAfter);
        EXPECT_EQ(plx.Caption(Label::AlbumNotice), "[Album]");
        EXPECT_EQ(noticeSteps.size() > 1 && noticeSteps[1] == "[", row.revealed);
        EXPECT_EQ(noticeSteps.size() > 1 && noticeSteps[1] == "[Album", row.erased);
        EXPECT_EQ(plx.Caption(Label::NextInfo).empty(), row.nextInfoCleared);
        EXPECT_EQ(plx.fake.dTimer.armedIntervals.size() > armings, row.fetchStarted);
        EXPECT_EQ(plx.fake.saver.WantCurrentEntry, !row.fetchStarted);
        // While the notice is up, the entry after the album counts as fetched.
        EXPECT_EQ(plx.fake.saver.AlbumNextShown, row.shownAfter);
    }
}

TEST(PlayState, EveryRowOfThePlayStateTable)
{
    struct Row {
        const char* message;
        bool playingBefore;
        bool playIconBefore;
        bool playingAfter;
        bool play, pause, stop;
        std::vector<int> playIconArmed;
    };
    const std::string playing = Playing({});
    const Row rows[] = {
        {playing.c_str(), false, false, true, false, false, false, {}},
        {playing.c_str(), false, true, true, true, false, false, {}},
        {"playlist_play[]", false, false, true, true, false, false, {5000}},
        {"playlist_play[]", true, false, true, false, false, false, {}},
        {"playlist_play[]", true, true, true, true, false, false, {}},
        {"playlist_stop[]", true, true, false, false, false, true, {}},
        {"playlist_pause[]", true, true, false, false, true, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.message) + (row.playingBefore ? " while playing" : " while not playing"));
        PlxRig plx;
        plx.Say("hello"); // PLX has been heard
        plx.fake.saver.IsPlaying = row.playingBefore;
        plx.fake.board.SetVisible(Picture::Play, row.playIconBefore);
        plx.fake.board.SetVisible(Picture::Pause, !row.pause);
        plx.fake.board.SetVisible(Picture::Stopsign, !row.stop);

        plx.Say(row.message);
        EXPECT_EQ(plx.fake.saver.IsPlaying, row.playingAfter);
        EXPECT_EQ(plx.Visible(Picture::Play), row.play);
        EXPECT_EQ(plx.Visible(Picture::Pause), row.pause);
        EXPECT_EQ(plx.Visible(Picture::Stopsign), row.stop);
        EXPECT_EQ(plx.fake.playIconTimer.armedIntervals, row.playIconArmed);
    }
}

TEST(PlayState, PauseThenPlayShowsThePlayIconForFiveSeconds)
{
    PlxRig plx;
    plx.Say("playlist_pause[]");
    EXPECT_TRUE(plx.Visible(Picture::Pause));
    plx.Say("playlist_play[]");
    plx.Say("playlist_play[]"); // a second one only hides Pause and Stopsign
    EXPECT_TRUE(plx.Visible(Picture::Play));
    EXPECT_FALSE(plx.Visible(Picture::Pause));
    EXPECT_EQ(plx.fake.playIconTimer.armedIntervals, (std::vector<int>{5000}));

    plx.fake.saver.PlayIconTimerTick();
    EXPECT_FALSE(plx.Visible(Picture::Play));
    EXPECT_FALSE(plx.Visible(Picture::Pause));
    EXPECT_FALSE(plx.Visible(Picture::Stopsign));
    EXPECT_FALSE(plx.fake.playIconTimer.enabled);
    EXPECT_TRUE(plx.fake.saver.IsPlaying);
}

TEST(PlayState, StopShowsTheRunningLengthAlone)
{
    PlxRig plx;
    plx.Say(Playing({.length = "4:05"}));
    plx.Say("time[1:23]");
    plx.Say("playlist_stop[]");
    EXPECT_EQ(plx.Caption(Label::TrackTime), "4:05");
}

TEST(TimeLabel, ShowsElapsedAndLengthOnceALengthIsKnown)
{
    struct Row {
        const char* length; // nullptr: no "playing" message yet
        std::string message;
        const char* caption;
    };
    const Row rows[] = {
        {nullptr, "time[1:23]", "..."},
        {"4:05", "time[1:23]", "1:23 / 4:05"},
        {"4:05", "time[]", " / 4:05"},         // six characters: an empty time
        {"", "time[1:23]", "..."},
        {"4:05", "time\xC2\xAB" "1:23\xC2\xBB", "1:23 / 4:05"},
        {"4:05", "timecode[9]", "ode[9 / 4:05"}, // the keyword decides, the rest is passed through
        // Malformed: shorter than six characters, nothing changes.
        {"4:05", "time[", "..."},
        {"4:05", "time", "..."},
        {nullptr, "time[", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        PlxRig plx;
        plx.Say("hello");
        if (row.length) plx.Say(Playing({.length = row.length}));
        plx.Say(row.message);
        EXPECT_EQ(plx.Caption(Label::TrackTime), row.caption);
    }
}

} // namespace
} // namespace wendel
