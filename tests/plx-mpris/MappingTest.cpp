// What a player's Metadata, PlaybackStatus and art URL become on the link,
// for good values and for what careless players send; which player is followed.

#include "Choice.h"
#include "Metadata.h"

#include <QDBusObjectPath>
#include <QDBusVariant>

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace plxmpris {
namespace {

using jukebox::PlayState;

QVariantMap Good()
{
    return {{"mpris:trackid", QVariant::fromValue(QDBusObjectPath("/track/7"))}, {"xesam:album", "Birds"},
            {"xesam:artist", QStringList{"Ravens, The", "Crows"}}, {"xesam:title", "Nevermore"},
            {"mpris:length", qlonglong(245'600'000)}, {"xesam:trackNumber", 3}};
}

QVariantMap With(QVariantMap map, const QString& key, const QVariant& value)
{
    map[key] = value;
    return map;
}

TEST(MprisMetadata, FieldsAndStatusFromEveryTypeAndSizeAPlayerSends)
{
    const jukebox::Track good{"Birds", "Ravens, The, Crows", "Nevermore", "4:05", "", "3"};
    EXPECT_EQ(TrackOf(ReadMetadata(Good()), ""), good);
    EXPECT_EQ(TrackOf(ReadMetadata({}), ""), jukebox::Track{});
    // One value changed in a good map: the one field it feeds, and nothing else.
    using T = jukebox::Track;
    const std::tuple<const char*, const char*, QVariant, std::string T::*, std::string> cases[] = {
        {"a string where the artist list is due", "xesam:artist", "Solo", &T::artist, "Solo"},
        {"empty names in the list are skipped", "xesam:artist", QStringList{"", "A", ""}, &T::artist, "A"},
        {"a number where a text is due", "xesam:title", 42, &T::title, ""},
        {"a variant inside the variant", "xesam:album", QVariant::fromValue(QDBusVariant("Inner")), &T::album,
         "Inner"},
        {"a negative length", "mpris:length", qlonglong(-5'000'000), &T::length, ""},
        {"a zero length", "mpris:length", qlonglong(0), &T::length, ""},
        {"a length as text", "mpris:length", "245600000", &T::length, ""},
        {"an unsigned length of an hour", "mpris:length", qulonglong(3'723'000'000ULL), &T::length, "1:02:03"},
        {"an absurd length", "mpris:length", qulonglong(~0ULL), &T::length, ""},
        {"a 32-bit length", "mpris:length", 5'000'000, &T::length, "0:05"},
        {"a track number as text", "xesam:trackNumber", "7/12", &T::number, "7"},
        {"a negative track number", "xesam:trackNumber", -2, &T::number, ""},
    };
    for (const auto& [what, key, value, field, text] : cases) {
        jukebox::Track expected = good;
        expected.*field = text;
        EXPECT_EQ(TrackOf(ReadMetadata(With(Good(), key, value)), ""), expected) << what;
    }
    EXPECT_EQ(ReadMetadata(Good()).id, "/track/7");
    EXPECT_EQ(ReadMetadata(With(Good(), "mpris:trackid", "/as/text")).id, "/as/text");
    EXPECT_EQ(ReadMetadata(With(Good(), "mpris:trackid", 5)).id, "");
    const QString huge(100 * 1024, QLatin1Char('x')), cut(kMaxFieldChars - 1, QLatin1Char('a'));
    EXPECT_EQ(ReadMetadata(With(Good(), "xesam:title", huge)).title.size(), kMaxFieldChars);
    // A character outside the BMP straddling the cut goes whole.
    EXPECT_EQ(ReadMetadata(With(Good(), "xesam:title", cut + QString::fromUtf8("\U0001D11E") + huge)).title, cut);
    const TrackInfo many = ReadMetadata(With(Good(), "xesam:artist", QStringList(100'000, QStringLiteral("Band"))));
    EXPECT_EQ(many.artist.size(), kMaxFieldChars);
    const std::pair<QVariant, std::optional<PlayState>> statuses[] = {
        {"Playing", PlayState::Playing}, {"Paused", PlayState::Paused}, {"Stopped", PlayState::Stopped},
        {QVariant::fromValue(QDBusVariant("Paused")), PlayState::Paused},
        {"playing", std::nullopt}, {"", std::nullopt}, {1, std::nullopt}, {QStringList{"Playing"}, std::nullopt},
    };
    for (const auto& [value, state] : statuses) EXPECT_EQ(ReadStatus(value), state) << value.toString().toStdString();
}

TEST(MprisArt, WhereACoverComesFromAndWhichPathsTheLinkCarries)
{
    const std::pair<const char*, ArtSource> cases[] = {
        {"file:///music/a/cover.jpg", {ArtKind::File, "/music/a/cover.jpg", {}}},
        {"file:///music/My%20Album/c%C3%B6ver.png", {ArtKind::File, "/music/My Album/c\xC3\xB6ver.png", {}}},
        {"file:///music/raw%FFbyte.jpg", {ArtKind::File, "/music/raw\xFF" "byte.jpg", {}}},
        {"file://localhost/music/a.jpg", {ArtKind::File, "/music/a.jpg", {}}},
        {"FILE:///music/a.jpg", {ArtKind::File, "/music/a.jpg", {}}},
        {"file://otherhost/music/a.jpg", {}}, {"file:///music/nul%00.jpg", {}},
        {"http://127.0.0.1:8080/a.jpg", {ArtKind::Web, {}, "http://127.0.0.1:8080/a.jpg"}},
        {"https://covers.example/x?size=500", {ArtKind::Web, {}, "https://covers.example/x?size=500"}},
        {"http:///no-host.jpg", {}}, {"ftp://example/a.jpg", {}}, {"data:image/png;base64,iVBORw0KGgo=", {}},
        {"/music/a/cover.jpg", {}}, {"", {}},
    };
    for (const auto& [url, source] : cases) EXPECT_EQ(ClassifyArt(QString::fromUtf8(url)), source) << url;
    // A path the link cannot carry as it is goes through the cache.
    for (const QByteArray fits : {"/music/a/cover.jpg", "/music/c\xC3\xB6ver.jpg"})
        EXPECT_TRUE(PathFitsField(fits)) << fits.data();
    for (const QByteArray bad : {"/music/Say \"Hi\"/a.jpg", "/a/tab\there.jpg", "/a/line\nbreak.jpg", "/raw\xFF.jpg"})
        EXPECT_FALSE(PathFitsField(bad)) << bad.data();
}

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

TEST(MprisChoice, FollowsTheLatestToStartPlayingOfThoseItMatchesAsPlayerctlDoes)
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
    const std::tuple<const char*, const char*, bool> names[] = { // bus name, pattern, matches
        {"org.mpris.MediaPlayer2.vlc", "", true}, {"org.mpris.MediaPlayer2.vlc", "vlc", true},
        {"org.mpris.MediaPlayer2.vlc.instance42", "vlc", true},
        {"org.mpris.MediaPlayer2.vlc.instance42", "vlc.instance42", true},
        {"org.mpris.MediaPlayer2.vlcx", "vlc", false}, {"org.mpris.MediaPlayer2.vlc", "vl", false},
        {"org.mpris.MediaPlayer2.vlc", "VLC", false}, {"org.mpris.MediaPlayer2.mpv", "vlc,mpv", true},
        {"org.mpris.MediaPlayer2.mpv", "vlc,,", false}, {"org.mpris.MediaPlayer2", "", false},
        {"org.example.vlc", "vlc", false}, {"org.example.vlc", "", false},
    };
    for (const auto& [bus, pattern, matches] : names) EXPECT_EQ(MatchesPlayer(bus, pattern), matches) << bus << pattern;
    EXPECT_EQ(ShortName("org.mpris.MediaPlayer2.vlc.instance42"), "vlc.instance42");
}

} // namespace
} // namespace plxmpris
