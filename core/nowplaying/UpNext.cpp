#include "app/WendelSaverMain.h"

#include "nowplaying/TextRules.h"
#include "text/Numbers.h"

#include <optional>
#include <string>
#include <vector>

namespace wendel {

namespace {

constexpr int kPlaylistItemFieldCount = 7;
// The first fetch plus two retries while the pointer still stands on the
// playing item.
constexpr std::int16_t kNextFetchLimit = 3;

enum EntryField { Album = 1, Artist = 2, Title = 3, Kind = 7 };

} // namespace

void WendelSaverMain::CheckCurrentEntry(const std::string& text)
{
    const std::optional<std::vector<std::string>> fields = CutQuotedFields(text, FieldEnd, kPlaylistItemFieldCount);
    if (!fields) return;

    // Kind 0 is a whole album; a kind beyond 16 bits is a track like any other.
    const bool isAlbum = ToInt16(NumericValue((*fields)[Kind])) == std::int16_t{0};
    Board& board = ports_.board;

    if (!isAlbum) {
        if (board.IsVisible(Label::AlbumNotice)) {
            board.SetCaption(Label::NextInfo, std::string());
            EraseAlbumNotice();
            AlbumNextShown = false;
        }
    } else {
        // The first track of an album that follows another album: what was
        // up next belonged to the album before.
        if (PlayingTrackNumber == 1 && board.IsVisible(Label::AlbumNotice)) {
            board.SetCaption(Label::NextInfo, std::string());
            AlbumNextShown = false;
            WantCurrentEntry = false;
        }
        if (!board.IsVisible(Label::AlbumNotice)) RevealAlbumNotice();
    }

    // The entry after this album is already up: nothing to fetch.
    if (AlbumNextShown) return;
    if (board.IsVisible(Label::AlbumNotice)) AlbumNextShown = true;

    WantCurrentEntry = false;
    ArmDTimer();
}

void WendelSaverMain::ShowNextEntry(const std::string& text)
{
    const std::optional<std::vector<std::string>> fields = CutQuotedFields(text, FieldEnd, kPlaylistItemFieldCount);
    if (!fields) return;
    const std::vector<std::string>& field = *fields;
    Board& board = ports_.board;

    // The pointer has not moved on yet, so "the entry after it" is the
    // playing item itself: ask again after the overlap.
    const std::string& title = field[Title];
    if (title == PlayingTitle && NextRetries < kNextFetchLimit) {
        WantCurrentEntry = false;
        ++NextRetries;
        board.SetCaption(Label::NextInfo, std::string());
        ArmDTimer();
        return;
    }

    const bool isAlbum = ToInt32(NumericValue(field[Kind])) == std::int32_t{0};
    std::string artist = ApplyArticleRule(field[Artist]);

    // No artist, no entry: the next "playing" message starts a new cycle.
    if (CharLength(artist) < 2) {
        board.SetCaption(Label::NextInfo, std::string());
        board.SetVisible(Label::Caption_Upnext, false);
        return;
    }

    board.SetVisible(Label::Caption_Upnext, true);
    std::string album = field[Album] == "..." ? artist : field[Album];

    std::string line = title;
    if (IsMarkedTitle(title)) {
        album = artist;
        line = MarkedTitle(title) + " (" + artist + ")";
        artist = MarkedArtist(title);
    }

    board.SetVisible(Label::NextInfo, false);
    board.SetCaption(Label::NextInfo, isAlbum ? artist + " - " + album + " [Album]" : artist + " - " + line);
    RevealNextInfo();

    WantCurrentEntry = true;
}

} // namespace wendel
