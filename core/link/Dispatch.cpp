#include "app/WendelSaverMain.h"

#include "nowplaying/TextRules.h"
#include "text/Numbers.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace wendel {

namespace {

// "playing" and the character after it.
constexpr std::size_t kPlayingHead = 8;
// "playlist_item" and the character after it.
constexpr std::size_t kPlaylistItemHead = 14;
// "playlist_pointer" and the character after it.
constexpr std::size_t kPointerHead = 17;

constexpr int kPlayingFieldCount = 6;
constexpr int kPlaylistItemFieldCount = 7;
constexpr int kPlayIconMilliseconds = 5000;

using RowAction = void (WendelSaverMain::*)(const std::string& message);

struct DispatchRow {
    std::string_view keyword;
    RowAction action;
};

// Whether the content's quoted fields can all be cut. Works on a copy: a
// malformed message must leave FieldEnd as it was.
bool FieldsFit(std::string_view content, int count)
{
    std::string scratch(content);
    return CutQuotedFields(content, SplitFieldEnds(count, scratch), count).has_value();
}

} // namespace

void WendelSaverMain::MessageArrived(const std::string& device, const std::string& message)
{
    // In this order; only the keyword's length is compared, and no keyword
    // begins another, so at most one row matches.
    static constexpr DispatchRow kRows[] = {
        {"time", &WendelSaverMain::ShowTrackTime},
        {"playing", &WendelSaverMain::DispatchPlaying},
        {"playlist_item", &WendelSaverMain::DispatchPlaylistItem},
        {"playlist_play", &WendelSaverMain::DispatchPlaylistPlay},
        {"playlist_stop", &WendelSaverMain::DispatchPlaylistStop},
        {"playlist_pause", &WendelSaverMain::DispatchPlaylistPause},
        {"playlist_pointer", &WendelSaverMain::DispatchPlaylistPointer},
    };

    // No other receiving device is ever opened; anything else is not PLX.
    if (device != RxDevice) return;

    if (!LinkHeard) {
        LinkHeard = true;
        ports_.board.SetVisible(Label::NoPLX, false);
    }

    for (const DispatchRow& row : kRows) {
        if (std::string_view(message).starts_with(row.keyword)) {
            (this->*row.action)(message);
            return;
        }
    }
}

// A new connection starts the cycle again. The jukebox replays the current
// item as a "playing" equal to the last one; it must run the playing item
// afresh, cover included, or the fetch of the entry up next and a cover
// retry that the replay cancels would never be armed again.
void WendelSaverMain::LinkConnected()
{
    LastPlaying.clear();
    LastCoverPath.clear();
}

void WendelSaverMain::DispatchPlaying(const std::string& message)
{
    const std::string content(CharsAfter(message, kPlayingHead));
    // Judged before anything changes: a malformed item does not even count
    // as a sign of playing.
    if (!FieldsFit(content, kPlayingFieldCount)) return;

    IsPlaying = true;
    ports_.dTimer.SetEnabled(false);
    ports_.imageErrorTimer.SetEnabled(false);
    if (message != LastPlaying) {
        std::string consumed = content;
        FindFieldEnds(kPlayingFieldCount, consumed);
        ShowPlayingItem(content);
    }
    ports_.board.SetVisible(Picture::Pause, false);
    ports_.board.SetVisible(Picture::Stopsign, false);
    LastPlaying = message;
}

void WendelSaverMain::DispatchPlaylistItem(const std::string& message)
{
    const std::string content(CharsAfter(message, kPlaylistItemHead));
    if (!FieldsFit(content, kPlaylistItemFieldCount)) return;

    std::string consumed = content;
    FindFieldEnds(kPlaylistItemFieldCount, consumed);
    if (WantCurrentEntry) CheckCurrentEntry(content);
    else ShowNextEntry(content);
}

void WendelSaverMain::DispatchPlaylistPlay(const std::string&)
{
    if (!IsPlaying) {
        ports_.playIconTimer.SetEnabled(false);
        ports_.board.SetVisible(Picture::Play, true);
        IsPlaying = true;
        ports_.playIconTimer.SetInterval(kPlayIconMilliseconds);
        ports_.playIconTimer.SetEnabled(true);
    }
    ports_.board.SetVisible(Picture::Pause, false);
    ports_.board.SetVisible(Picture::Stopsign, false);
}

void WendelSaverMain::DispatchPlaylistStop(const std::string&)
{
    IsPlaying = false;
    ports_.board.SetVisible(Picture::Stopsign, true);
    ports_.board.SetVisible(Picture::Pause, false);
    ports_.board.SetVisible(Picture::Play, false);
    ports_.board.SetCaption(Label::TrackTime, TrackLength);
}

void WendelSaverMain::DispatchPlaylistPause(const std::string&)
{
    IsPlaying = false;
    ports_.board.SetVisible(Picture::Pause, true);
    ports_.board.SetVisible(Picture::Play, false);
    ports_.board.SetVisible(Picture::Stopsign, false);
}

// Asks for the entry at the pointer while the playing entry is wanted, and
// for the one after it otherwise.
void WendelSaverMain::DispatchPlaylistPointer(const std::string& message)
{
    // The index text lies between the keyword's delimiter and the closing
    // character; a message too short to hold both asks for nothing.
    const auto length = static_cast<std::int64_t>(CharLength(message));
    const std::optional<std::string> indexText =
        CutChars(message, static_cast<std::int64_t>(kPointerHead) + 1, length - static_cast<std::int64_t>(kPointerHead) - 1);
    if (!indexText) return;

    double index = 0;
    if (WantCurrentEntry) {
        index = NumericValue(*indexText);
        // A number beyond any playlist has no text form worth sending.
        if (!std::isfinite(index)) return;
    } else {
        // "The entry after" needs a pointer to count from.
        const std::optional<double> pointer = WholeNumber(*indexText);
        if (!pointer) return;
        index = *pointer + 1;
    }
    ports_.link.SendCommand(TxDevice, "playlist_getitem[" + SignedText(index) + "]");
}

void WendelSaverMain::DTimerTick()
{
    ports_.link.SendCommand(TxDevice, "playlist_getpointer");
    ports_.dTimer.SetEnabled(false);
}

void WendelSaverMain::PlayIconTimerTick()
{
    ports_.playIconTimer.SetEnabled(false);
    ports_.board.SetVisible(Picture::Play, false);
}

void WendelSaverMain::FindFieldEnds(int count, std::string& text)
{
    count = std::clamp(count, 1, static_cast<int>(FieldEnd.size()));
    const FieldEnds ends = SplitFieldEnds(count, text);
    // Slots past the count keep what an earlier split left there.
    std::copy_n(ends.begin(), count, FieldEnd.begin());
}

// Interval first, then enabling: the first tick comes one interval after
// this call, as it would if the interval were set on an enabled timer.
void WendelSaverMain::ArmDTimer()
{
    ports_.dTimer.SetInterval(OverlapInterval(settings_.Overlap));
    ports_.dTimer.SetEnabled(true);
}

} // namespace wendel
