#include "app/WendelSaverMain.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace wendel {

namespace {

// Pace factors: a step of AlbumNotice takes about four times a step of
// ArtistAlbum or NextInfo, and a step of Track twice.
constexpr double kTrackPace = 100000;
constexpr double kArtistAlbumPace = 50000;
constexpr double kNextInfoPace = 50000;
constexpr double kAlbumNoticeRevealPace = 190000;
constexpr double kAlbumNoticeErasePace = 200000;

// The byte offset at which each character of a UTF-8 text starts, plus the
// text's length at the end. A stray continuation byte counts with the
// character before it, so no cut ever splits a character.
std::vector<std::size_t> CharacterStarts(const std::string& text)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 || starts.empty()) starts.push_back(i);
    }
    starts.push_back(text.size());
    return starts;
}

// The step pause: a count, not a timer. The counter is volatile so that the
// optimiser keeps every addition; the pause is the time the additions take.
void CountedPause(double limit)
{
    volatile double counter = 1.0;
    do {
        counter = counter + 1.0;
    } while (counter < limit);
}

// A jukebox may send texts far longer than a label can show, and each step
// lays out and draws the whole caption so far. Beyond kMaxSteps characters
// the text grows by several characters a step, with fewer steps the longer
// it is, so that the effect, during which nothing else runs, stays short.
constexpr std::size_t kMaxSteps = 256;
constexpr std::size_t kCharactersDrawnBudget = 64 * 1024;

std::size_t StepCount(std::size_t characters)
{
    if (characters <= kMaxSteps) return characters;
    return std::clamp<std::size_t>(kCharactersDrawnBudget / characters, 1, kMaxSteps);
}

// How many characters show after `step` of `steps`: one more each step for
// texts up to kMaxSteps characters, evenly spread beyond.
std::size_t ShownAfter(std::size_t step, std::size_t steps, std::size_t characters)
{
    return (step * characters + steps - 1) / steps;
}

enum class Grow { FromEnd, FromStart };

void Reveal(Board& board, Label label, double limit, Grow grow)
{
    const std::string text = board.Caption(label);
    board.SetCaption(label, std::string());
    board.SetVisible(label, true);
    const std::vector<std::size_t> starts = CharacterStarts(text);
    const std::size_t n = starts.size() - 1;
    const std::size_t steps = StepCount(n);
    for (std::size_t step = 1; step <= steps; ++step) {
        const std::size_t i = ShownAfter(step, steps, n);
        board.SetCaption(label, grow == Grow::FromEnd ? text.substr(starts[n - i])
                                                      : text.substr(0, starts[i]));
        board.RepaintNow(label);
        CountedPause(limit);
    }
}

} // namespace

void WendelSaverMain::RevealTrack()
{
    Reveal(ports_.board, Label::Track, RevealSpeed * kTrackPace, Grow::FromEnd);
}

void WendelSaverMain::RevealArtistAlbum()
{
    Reveal(ports_.board, Label::ArtistAlbum, RevealSpeed * kArtistAlbumPace, Grow::FromEnd);
}

void WendelSaverMain::RevealNextInfo()
{
    Reveal(ports_.board, Label::NextInfo, RevealSpeed * kNextInfoPace, Grow::FromEnd);
}

void WendelSaverMain::RevealAlbumNotice()
{
    Reveal(ports_.board, Label::AlbumNotice, RevealSpeed * kAlbumNoticeRevealPace, Grow::FromStart);
}

void WendelSaverMain::EraseAlbumNotice()
{
    Board& board = ports_.board;
    const double limit = RevealSpeed * kAlbumNoticeErasePace;
    const std::string text = board.Caption(Label::AlbumNotice);
    board.SetCaption(Label::AlbumNotice, std::string());
    board.SetVisible(Label::AlbumNotice, true);
    const std::vector<std::size_t> starts = CharacterStarts(text);
    const std::size_t n = starts.size() - 1;
    const std::size_t steps = StepCount(n);
    for (std::size_t step = 1; step <= steps; ++step) {
        board.SetCaption(Label::AlbumNotice, text.substr(0, starts[n - ShownAfter(step, steps, n)]));
        board.RepaintNow(Label::AlbumNotice);
        CountedPause(limit);
    }
    board.SetVisible(Label::AlbumNotice, false);
    board.SetCaption(Label::AlbumNotice, text);
}

} // namespace wendel
