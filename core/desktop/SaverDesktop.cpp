#include "desktop/SaverDesktop.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <vector>

namespace wendel {

namespace {

const ScreenInfo* FindScreen(const std::vector<ScreenInfo>& screens, ScreenKey key)
{
    const auto it = std::find_if(screens.begin(), screens.end(),
                                 [key](const ScreenInfo& s) { return s.key == key; });
    return it == screens.end() ? nullptr : &*it;
}

// The primary screen, or the first one when the platform names none we know.
const ScreenInfo* Primary(const std::vector<ScreenInfo>& screens, ScreenKey primary)
{
    if (const ScreenInfo* found = FindScreen(screens, primary)) return found;
    return screens.empty() ? nullptr : &screens.front();
}

} // namespace

SaverDesktop::SaverDesktop(DesktopPorts ports, int boardWidth, int boardHeight)
    : ports_(ports), boardWidth_(boardWidth), boardHeight_(boardHeight),
      hosted_(ports.desktop.ForeignWindow().has_value())
{
}

void SaverDesktop::ShowBackdrops()
{
    // Inside a foreign window the black is that window's.
    if (hosted_ || backdrops_) return;
    backdrops_ = true;
    Arrange();
}

void SaverDesktop::ShowBoard()
{
    boardShown_ = true;
    if (hosted_) {
        const std::optional<PixelRect> host = ports_.desktop.ForeignWindow();
        PlaceBoard(BoardHost::ForeignWindow, 0, Centred(host.value_or(PixelRect{}), false));
        return; // input belongs to the program that owns the window
    }
    Arrange();
    if (placement_) StartGrab();
}

void SaverDesktop::ScreensChanged()
{
    if (hosted_) return;
    const std::optional<Placement> before = placement_;
    Arrange();
    if (!boardShown_ || !placement_) return;
    // A window that takes the board over needs the keyboard grabbed afresh.
    const bool newHolder = !before || (before->host == BoardHost::Backdrop &&
                                       placement_->screen != before->screen);
    if (newHolder) StartGrab();
}

void SaverDesktop::Arrange()
{
    const std::vector<ScreenInfo> screens = ports_.desktop.Screens();
    const ScreenInfo* primary = Primary(screens, ports_.desktop.PrimaryScreen());
    if (!primary) return;

    if (backdrops_) {
        for (const ScreenInfo& screen : screens) {
            const auto it = shown_.find(screen.key);
            if (it != shown_.end() && it->second == screen.area) continue;
            ports_.desktop.ShowBackdrop(screen.key, screen.area);
            shown_[screen.key] = screen.area;
        }
    }
    if (boardShown_) {
        // The board moves before any backdrop goes, so it never loses its holder.
        if (backdrops_) {
            PlaceBoard(BoardHost::Backdrop, primary->key, Centred(primary->area, false));
        } else {
            PlaceBoard(BoardHost::OwnWindow, primary->key, Centred(primary->area, true));
        }
    }
    for (auto it = shown_.begin(); it != shown_.end();) {
        if (FindScreen(screens, it->first)) {
            ++it;
        } else {
            ports_.desktop.RemoveBackdrop(it->first);
            it = shown_.erase(it);
        }
    }
}

void SaverDesktop::PlaceBoard(BoardHost host, ScreenKey screen, PixelPoint at)
{
    const Placement placement{host, screen, at};
    if (placement_ == placement) return;
    placement_ = placement;
    ports_.desktop.PlaceBoard(host, screen, at);
}

PixelPoint SaverDesktop::Centred(const PixelRect& area, bool global) const
{
    // A screen smaller than the board cuts it evenly on both sides.
    PixelPoint at{(area.width - boardWidth_) / 2, (area.height - boardHeight_) / 2};
    if (global) {
        at.x += area.x;
        at.y += area.y;
    }
    return at;
}

void SaverDesktop::StartGrab()
{
    grabbed_ = false;
    grabTries_ = 0;
    TryGrab();
}

void SaverDesktop::KeyboardMayBeLost()
{
    if (boardShown_ && !hosted_ && placement_) StartGrab();
}

void SaverDesktop::GrabTimerTick()
{
    TryGrab();
}

void SaverDesktop::TryGrab()
{
    ports_.grabTimer.SetEnabled(false);
    const GrabResult result = ports_.desktop.GrabKeyboard();
    switch (result) {
    case GrabResult::Grabbed:
        grabbed_ = true;
        if (toldHeld_) ports_.diagnostics.Note("wendelsaver: keyboard grabbed");
        toldHeld_ = false;
        return;
    case GrabResult::Unsupported:
        return;
    case GrabResult::HeldElsewhere:
    case GrabResult::Refused:
        if (!toldHeld_) {
            ports_.diagnostics.Note(
                std::string("wendelsaver: ") +
                (result == GrabResult::HeldElsewhere ? "another program holds the keyboard"
                                                     : "the keyboard cannot be grabbed") +
                "; trying again for " + std::to_string(kGrabRetries * kGrabRetryMs / 1000) +
                " seconds");
            toldHeld_ = true;
        }
        break;
    case GrabResult::NotViewable:
        break; // the window is on its way to the screen
    }
    if (++grabTries_ > kGrabRetries) {
        ports_.diagnostics.Note(
            "wendelsaver: could not grab the keyboard; keys reach the saver only while it has "
            "the focus");
        toldHeld_ = false;
        return;
    }
    ports_.grabTimer.SetInterval(kGrabRetryMs);
    ports_.grabTimer.SetEnabled(true);
}

void SaverDesktop::End()
{
    ports_.grabTimer.SetEnabled(false);
    if (grabbed_) ports_.desktop.ReleaseKeyboard();
    grabbed_ = false;
}

std::optional<unsigned long> ParseWindowId(const std::string& text)
{
    int base = 10;
    std::size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        start = 2;
    }
    if (start >= text.size() || text.size() - start > 16) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        int digit = 0;
        if (std::isdigit(c)) {
            digit = c - '0';
        } else if (base == 16 && std::isxdigit(c)) {
            digit = std::tolower(c) - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    // X window ids are 29 bits wide.
    if (value == 0 || value > 0x1FFFFFFFu) return std::nullopt;
    return static_cast<unsigned long>(value);
}

} // namespace wendel
