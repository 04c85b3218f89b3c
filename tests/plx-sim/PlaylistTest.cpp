// plx-sim's playlist and script files.

#include "Playlist.h"
#include "Script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plxsim {
namespace {

TEST(PlxPlaylist, TracksAndAlbums)
{
    const Playlist playlist = ParsePlaylist(R"(# comment

[track]
length = 4:05
title = Say "Hi"
artist = Ravens, The
album = ...
cover = covers/a.jpg
number = 7

[album]
cover =
track = 1:02:03   Opening   Night
track = 0:45 !a{Guest}t{Encore}!

[album]
title = Whole Album
cover = /abs/b.png
track = 1:00 First
)",
                                            "/lists");
    ASSERT_TRUE(playlist.errors.empty()) << playlist.errors.front();
    ASSERT_EQ(playlist.entries.size(), 3u);
    const Entry& track = playlist.entries[0];
    EXPECT_EQ(track.tracks.size(), 1u);
    EXPECT_EQ(track.tracks[0].title, "Say \"Hi\""); // a title given after the length still counts
    EXPECT_EQ(track.tracks[0].seconds, 245);
    EXPECT_EQ(track.cover, "/lists/covers/a.jpg"); // relative to the playlist
    EXPECT_EQ(track.number, 7);
    EXPECT_EQ(track.line, 3);

    const Entry& album = playlist.entries[1];
    EXPECT_TRUE(album.wholeAlbum);
    EXPECT_EQ(album.cover, "");
    EXPECT_EQ(album.tracks[0].title, "Opening   Night");
    EXPECT_EQ(album.title, "Opening   Night"); // the first track's, unless given
    EXPECT_EQ(album.Seconds(), 3723 + 45);
    EXPECT_EQ(playlist.entries[2].title, "Whole Album");
    EXPECT_EQ(playlist.entries[2].cover, "/abs/b.png");
}

TEST(PlxPlaylist, MistakesNameTheirLine)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"# nothing\n", "the playlist has no entries"},
        {"artist = x\n[track]\nlength = 1:00\n", "line 1: a key outside"},
        {"[track]\nlength = 1:00\ncolour = red\n", "line 3: unknown key colour"},
        {"[track]\ntitle = x\n", "line 1: a track needs a length"},
        {"[album]\nartist = x\n", "line 1: an album needs at least one track"},
        {"[track]\nlength = 4:60\n", "line 2: length must be"},
        {"[track]\nlength = 1:00\nnumber = -2\n", "line 3: number must be"},
        {"[album]\ntrack = 3:00\n", "line 2: expected track = m:ss title"},
        {"[album]\nlength = 1:00\ntrack = 1:00 a\n", "line 2: unknown key length in [album]"},
        {"[track]\nlength = 1:00\n[playlist]\nartist = x\n", "line 3: unknown block [playlist]"},
        {"[track]\nlength = 1:00\njust words\n", "line 3: expected key = value"},
    };
    for (const auto& [text, error] : cases) {
        const Playlist playlist = ParsePlaylist(text, "");
        ASSERT_FALSE(playlist.errors.empty()) << text;
        EXPECT_EQ(playlist.errors.front().rfind(error, 0), 0u) << playlist.errors.front();
    }
    for (const char* bad : {"", "5", ":05", "4:", "4:5x", "0:00", "1:60:00", "1:2:3:4", "-1:00", "+1:00"})
        EXPECT_EQ(ParseLength(bad), std::nullopt) << bad;
    EXPECT_EQ(FormatLength(4500), "75:00");
    EXPECT_EQ(FormatLength(65), "1:05");
}

TEST(PlxScript, TimedVerbs)
{
    std::vector<std::string> errors;
    const std::vector<ScriptStep> steps = ParseScript("# start\n0 play\n  2.5   pause \r\n10 quit\n", errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[1].atMs, 2500);
    EXPECT_EQ(steps[1].verb, "pause");
    ParseScript("1 dance\n-1 play\nsoon stop\n2\n3 next\n", errors);
    EXPECT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors.front().rfind("line 1:", 0), 0u);
}

} // namespace
} // namespace plxsim
