#include "app/WendelSaverMain.h"

#include "nowplaying/TextRules.h"
#include "text/Numbers.h"

#include <optional>
#include <string>
#include <vector>

namespace wendel {

namespace {

constexpr int kPlayingFieldCount = 6;
constexpr std::int32_t kCoverAccessRefused = 70;
constexpr std::int32_t kCoverNotFound = 53;
constexpr int kDefaultCoverRetryMilliseconds = 500;

enum PlayingField { Album = 0, Artist = 1, Title = 2, Length = 3, Cover = 4, TrackNumber = 6 };

} // namespace

void WendelSaverMain::ShowPlayingItem(const std::string& text)
{
    // Every field is cut before anything changes: a text that FieldEnd does
    // not describe leaves the board as it was.
    const std::optional<std::vector<std::string>> fields = CutQuotedFields(text, FieldEnd, kPlayingFieldCount);
    if (!fields) return;
    const std::vector<std::string>& field = *fields;

    NextRetries = 1;
    CoverRetryCount = 0;
    ports_.board.SetCaption(Label::TrackTime, "...");

    // A number beyond 16 bits is simply not track 1.
    PlayingTrackNumber = ToInt16(NumericValue(field[TrackNumber])).value_or(0);
    if (PlayingTrackNumber == 1) ports_.board.SetCaption(Label::NextInfo, std::string());
    // NextInfo keeps the entry after an album only while the album plays on.
    if (!ports_.board.IsVisible(Label::AlbumNotice)) ports_.board.SetCaption(Label::NextInfo, std::string());

    std::string artist = ApplyArticleRule(field[Artist]);
    std::string album = field[Album] == "..." ? artist : field[Album];

    const std::string& title = field[Title];
    PlayingTitle = title;
    TrackLength = field[Length];

    ports_.board.SetVisible(Label::Track, false);
    if (IsMarkedTitle(title)) {
        artist = MarkedArtist(title) + ": " + artist;
        ports_.board.SetCaption(Label::Track, MarkedTitle(title));
    } else {
        ports_.board.SetCaption(Label::Track, title);
    }

    const std::string artistAlbum = artist + " - " + album;
    if (artistAlbum != ports_.board.Caption(Label::ArtistAlbum)) {
        ports_.board.SetVisible(Label::ArtistAlbum, false);
        ports_.board.SetCaption(Label::ArtistAlbum, artistAlbum);
        RevealTrack();
        RevealArtistAlbum();
    } else {
        RevealTrack();
    }

    CoverPath = field[Cover].empty() ? settings_.DefaultImage : field[Cover];
    const std::int32_t coverResult = ShowAlbumCover(CoverPath);
    if (coverResult == kCoverAccessRefused) {
        CoverRetryCount = 1;
        ports_.imageErrorTimer.SetInterval(OverlapInterval(settings_.Overlap));
        ports_.imageErrorTimer.SetEnabled(true);
    } else if (coverResult == kCoverNotFound) {
        CoverPath = settings_.DefaultImage;
        ports_.imageErrorTimer.SetInterval(kDefaultCoverRetryMilliseconds);
        ports_.imageErrorTimer.SetEnabled(true);
    }

    // Starts the fetch of the playing entry, and after it the one up next.
    WantCurrentEntry = true;
    ports_.link.SendCommand(TxDevice, "playlist_getpointer");
}

void WendelSaverMain::ShowTrackTime(const std::string& message)
{
    // The time stands between "time" with its delimiter and the closing
    // character; a message too short to hold them shows nothing.
    const auto length = static_cast<std::int64_t>(CharLength(message));
    const std::optional<std::string> elapsed = CutChars(message, 6, length - 6);
    if (!elapsed) return;

    if (TrackLength.empty()) ports_.board.SetCaption(Label::TrackTime, "...");
    else ports_.board.SetCaption(Label::TrackTime, *elapsed + " / " + TrackLength);
}

} // namespace wendel
