// How MPD's songs and queue become the board's fields.

#include "Mapping.h"
#include "Printers.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace plxmpd {
namespace {

TEST(MpdMapping, SongsBecomeTheFieldsOfPlayingTheirTagsCutWhole)
{
    const std::vector<std::tuple<const char*, Song, jukebox::Track>> cases = {
        {"all tags", {"a/b.flac", "Birds", "", "Ravens, The", "Nevermore", "3/12", 200},
         {"Birds", "Ravens, The", "Nevermore", "3:20", "/c.jpg", "3"}},
        {"no tags: the file name",
         {"music/01 - Intro.mp3", "", "", "", "", "", 65}, {"", "", "01 - Intro", "1:05", "/c.jpg", "1"}},
        {"dotted file name", {"x/a.b.c.ogg", "", "", "", "", "07", 3600}, {"", "", "a.b.c", "1:00:00", "/c.jpg", "7"}},
        {"no extension", {"top", "", "", "", "", "x", 1}, {"", "", "top", "0:01", "/c.jpg", "1"}},
        {"a name that is all extension", {"d/.flac", "", "", "", "", "", 1}, {"", "", ".flac", "0:01", "/c.jpg", "1"}},
        {"stream: no duration", {"http://radio.example/live", "", "", "", "Live", "", std::nullopt},
         {"", "", "Live", "", "/c.jpg", "1"}},
        {"zero duration", {"a.flac", "", "", "", "T", "0", 0}, {"", "", "T", "", "/c.jpg", "0"}},
        {"album artist when no artist",
         {"a.flac", "Al", "Band", "", "T", "", 10}, {"Al", "Band", "T", "0:10", "/c.jpg", "1"}},
        {"long track number",
         {"a.flac", "", "", "", "T", "12345678901234", 10}, {"", "", "T", "0:10", "/c.jpg", "123456789"}},
    };
    for (const auto& [name, song, track] : cases)
        EXPECT_EQ(TrackOf(song, "/c.jpg", TrackNumberOf(song.track)), track) << name;
    // A cover comes from the song's folder, but never for a stream.
    for (const auto& [uri, folder] : std::vector<std::pair<std::string, std::optional<std::string>>>{
             {"a/b/c.flac", "a/b"}, {"c.flac", ""}, {"http://x/y.mp3", std::nullopt}, {"", std::nullopt}})
        EXPECT_EQ(FolderOf(Song{uri, "", "", "", "", "", 1}), folder) << uri;
    const std::string cut(kMaxTagBytes - 1, 'x');
    EXPECT_EQ(ClipTag(std::string(100 * 1024, 'x')).size(), kMaxTagBytes);
    EXPECT_EQ(ClipTag(cut + "\xC3\xA9tail"), cut); // a two-byte character straddling the limit goes whole
    // Invalid UTF-8 is passed as bytes; only the length is bounded.
    EXPECT_LE(ClipTag(std::string(kMaxTagBytes + 10, '\x80')).size(), kMaxTagBytes);
    EXPECT_EQ(ClipTag("\xFF\xFE"), "\xFF\xFE");
}

TEST(MpdMapping, AlbumRunsGroupConsecutiveSongsOfOneAlbum)
{
    const std::tuple<const char*, const char*, const char*, int> queue[] = { // album, album artist, artist, seconds
        {"A", "", "X", 60}, {"A", "", "X", 60},                         // 0-1: run 0, A by X
        {"A", "", "Y", 60},                                             // 2: another artist, run 1
        {"B", "V", "Y", 30}, {"B", "V", "Z", 30}, {"B", "V", "Z", 30},  // 3-5: run 2, B by V whatever the track artists
        {"", "", "X", 10}, {"", "", "X", 10},                           // 6, 7: no album, each alone
        {"A", "", "X", 60},                                             // 8: A again, not next to the first run
    };
    AlbumRuns runs;
    for (const auto& [album, albumArtist, artist, seconds] : queue)
        runs.Add(Song{"f", album, albumArtist, artist, "t", "", seconds});
    using Run = std::tuple<int, int, std::int64_t, bool>; // start, count, seconds, a whole album
    std::vector<Run> got;
    for (std::size_t i = 0; i < runs.Size(); ++i)
        got.emplace_back(runs.At(i).start, runs.At(i).count, runs.At(i).seconds, runs.At(i).WholeAlbum());
    EXPECT_EQ(got, (std::vector<Run>{{0, 2, 120, true}, {2, 1, 60, false}, {3, 3, 90, true},
                                     {6, 1, 10, false}, {7, 1, 10, false}, {8, 1, 60, false}}));
    const std::vector<std::pair<int, std::optional<std::size_t>>> lookups = {
        {0, 0}, {1, 0}, {2, 1}, {3, 2}, {5, 2}, {6, 3}, {8, 5}, {9, std::nullopt}, {-1, std::nullopt}};
    for (const auto& [index, run] : lookups) EXPECT_EQ(runs.RunOf(index), run) << index;
    EXPECT_EQ(AlbumRuns().RunOf(0), std::nullopt);

    const Song first{"d/1.flac", "B", "V", "Y", "Opening", "1", 30};
    EXPECT_EQ(RunEntry(first, runs.At(2)), (jukebox::Entry{"B", "V", "Opening", "1:30", "", 3, true}));
    EXPECT_EQ(RunEntry(first, runs.At(1)), (jukebox::Entry{"B", "Y", "Opening", "0:30", "", 1, false}));
    EXPECT_EQ(SongEntry(Song{"s/x.flac", "", "", "", "", "", std::nullopt}),
              (jukebox::Entry{"", "", "x", "", "", 1, false}));
}

TEST(MpdMapping, HostOptionsReadAsMpcReadsThem)
{
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"localhost", "localhost", ""}, {"secret@localhost", "localhost", "secret"},
        {"/run/mpd/socket", "/run/mpd/socket", ""}, {"pw@/run/mpd/socket", "/run/mpd/socket", "pw"},
        {"@mpd", "@mpd", ""}, {"pw@@mpd", "@mpd", "pw"}, {"", "", ""},
    };
    for (const auto& [text, host, password] : cases) {
        const HostOption option = SplitHostOption(text);
        EXPECT_EQ(std::pair(option.host, option.password), std::pair(host, password)) << text;
    }
}

} // namespace
} // namespace plxmpd
