// What a player's Metadata, PlaybackStatus and art URL become on the link,
// for good values and for what careless players send.

#include "Metadata.h"

#include <QDBusObjectPath>
#include <QDBusVariant>

#include <gtest/gtest.h>

namespace plxmpris {
namespace {

using jukebox::PlayState;

struct MetadataCase {
    const char* what;
    QVariantMap metadata;
    jukebox::Track expected; // the cover field is not read here
};

QVariantMap Good()
{
    return {{"mpris:trackid", QVariant::fromValue(QDBusObjectPath("/track/7"))},
            {"xesam:album", "Birds"},
            {"xesam:artist", QStringList{"Ravens, The", "Crows"}},
            {"xesam:title", "Nevermore"},
            {"mpris:length", qlonglong(245'600'000)},
            {"xesam:trackNumber", 3}};
}

QVariantMap With(QVariantMap map, const QString& key, const QVariant& value)
{
    map[key] = value;
    return map;
}

TEST(MprisMetadata, FieldsFromEveryTypeAPlayerSends)
{
    const MetadataCase cases[] = {
        {"all good", Good(), {"Birds", "Ravens, The, Crows", "Nevermore", "4:05", "", "3"}},
        {"a string where the artist list is due", With(Good(), "xesam:artist", "Solo"),
         {"Birds", "Solo", "Nevermore", "4:05", "", "3"}},
        {"empty names in the list are skipped", With(Good(), "xesam:artist", QStringList{"", "A", ""}),
         {"Birds", "A", "Nevermore", "4:05", "", "3"}},
        {"a number where a text is due", With(Good(), "xesam:title", 42),
         {"Birds", "Ravens, The, Crows", "", "4:05", "", "3"}},
        {"a variant inside the variant", With(Good(), "xesam:album", QVariant::fromValue(QDBusVariant("Inner"))),
         {"Inner", "Ravens, The, Crows", "Nevermore", "4:05", "", "3"}},
        {"a negative length", With(Good(), "mpris:length", qlonglong(-5'000'000)),
         {"Birds", "Ravens, The, Crows", "Nevermore", "", "", "3"}},
        {"a zero length", With(Good(), "mpris:length", qlonglong(0)),
         {"Birds", "Ravens, The, Crows", "Nevermore", "", "", "3"}},
        {"a length as text", With(Good(), "mpris:length", "245600000"),
         {"Birds", "Ravens, The, Crows", "Nevermore", "", "", "3"}},
        {"an unsigned length of an hour", With(Good(), "mpris:length", qulonglong(3'723'000'000ULL)),
         {"Birds", "Ravens, The, Crows", "Nevermore", "1:02:03", "", "3"}},
        {"an absurd length", With(Good(), "mpris:length", qulonglong(~0ULL)),
         {"Birds", "Ravens, The, Crows", "Nevermore", "", "", "3"}},
        {"a 32-bit length", With(Good(), "mpris:length", 5'000'000),
         {"Birds", "Ravens, The, Crows", "Nevermore", "0:05", "", "3"}},
        {"a track number as text", With(Good(), "xesam:trackNumber", "7/12"),
         {"Birds", "Ravens, The, Crows", "Nevermore", "4:05", "", "7"}},
        {"a negative track number", With(Good(), "xesam:trackNumber", -2),
         {"Birds", "Ravens, The, Crows", "Nevermore", "4:05", "", ""}},
        {"nothing at all", {}, {"", "", "", "", "", ""}},
    };
    for (const MetadataCase& c : cases) {
        EXPECT_EQ(TrackOf(ReadMetadata(c.metadata), ""), c.expected) << c.what;
    }
}

TEST(MprisMetadata, HugeTextsAreCutWithoutSplittingACharacter)
{
    const QString huge(100 * 1024, QLatin1Char('x'));
    const TrackInfo plain = ReadMetadata(With(Good(), "xesam:title", huge));
    EXPECT_EQ(plain.title.size(), kMaxFieldChars);
    // A character outside the BMP straddling the cut goes whole.
    const QString clef = QString::fromUtf8("\U0001D11E");
    const TrackInfo straddling =
        ReadMetadata(With(Good(), "xesam:title", QString(kMaxFieldChars - 1, QLatin1Char('a')) + clef + huge));
    EXPECT_EQ(straddling.title, QString(kMaxFieldChars - 1, QLatin1Char('a')));
    const TrackInfo many = ReadMetadata(With(Good(), "xesam:artist", QStringList(100'000, QStringLiteral("Band"))));
    EXPECT_EQ(many.artist.size(), kMaxFieldChars);
}

TEST(MprisMetadata, TrackIdFromAPathOrAText)
{
    EXPECT_EQ(ReadMetadata(Good()).id, "/track/7");
    EXPECT_EQ(ReadMetadata(With(Good(), "mpris:trackid", "/as/text")).id, "/as/text");
    EXPECT_EQ(ReadMetadata(With(Good(), "mpris:trackid", 5)).id, "");
}

TEST(MprisMetadata, PlaybackStatus)
{
    const struct {
        QVariant value;
        std::optional<PlayState> expected;
    } cases[] = {
        {"Playing", PlayState::Playing},
        {"Paused", PlayState::Paused},
        {"Stopped", PlayState::Stopped},
        {QVariant::fromValue(QDBusVariant("Paused")), PlayState::Paused},
        {"playing", std::nullopt},
        {"", std::nullopt},
        {1, std::nullopt},
        {QStringList{"Playing"}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadStatus(c.value), c.expected) << c.value.toString().toStdString();
}

TEST(MprisMetadata, EntryOfATrack)
{
    const jukebox::Entry entry = EntryOf(ReadMetadata(Good()));
    EXPECT_EQ(entry, (jukebox::Entry{"Birds", "Ravens, The, Crows", "Nevermore", "4:05", "", 1, false}));
}

TEST(MprisArt, WhereACoverComesFrom)
{
    const struct {
        const char* url;
        ArtSource expected;
    } cases[] = {
        {"file:///music/a/cover.jpg", {ArtKind::File, "/music/a/cover.jpg", {}}},
        {"file:///music/My%20Album/c%C3%B6ver.png", {ArtKind::File, "/music/My Album/c\xC3\xB6ver.png", {}}},
        {"file:///music/raw%FFbyte.jpg", {ArtKind::File, "/music/raw\xFF" "byte.jpg", {}}},
        {"file://localhost/music/a.jpg", {ArtKind::File, "/music/a.jpg", {}}},
        {"FILE:///music/a.jpg", {ArtKind::File, "/music/a.jpg", {}}},
        {"file://otherhost/music/a.jpg", {}},
        {"file:///music/nul%00.jpg", {}},
        {"http://127.0.0.1:8080/a.jpg", {ArtKind::Web, {}, "http://127.0.0.1:8080/a.jpg"}},
        {"https://covers.example/x?size=500", {ArtKind::Web, {}, "https://covers.example/x?size=500"}},
        {"http:///no-host.jpg", {}},
        {"ftp://example/a.jpg", {}},
        {"data:image/png;base64,iVBORw0KGgo=", {}},
        {"/music/a/cover.jpg", {}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(ClassifyArt(QString::fromUtf8(c.url)), c.expected) << c.url;
}

TEST(MprisArt, PathsTheLinkCarriesAsTheyAre)
{
    const struct {
        QByteArray path;
        bool fits;
    } cases[] = {
        {"/music/a/cover.jpg", true},
        {"/music/c\xC3\xB6ver.jpg", true},
        {"/music/Say \"Hi\"/cover.jpg", false},
        {"/music/tab\there.jpg", false},
        {"/music/line\nbreak.jpg", false},
        {"/music/raw\xFF.jpg", false},
    };
    for (const auto& c : cases) EXPECT_EQ(PathFitsField(c.path), c.fits) << c.path.toStdString();
}

} // namespace
} // namespace plxmpris
