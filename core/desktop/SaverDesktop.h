#pragma once

#include "ports/Cursor.h"
#include "ports/Desktop.h"
#include "ports/Timer.h"

#include <map>
#include <optional>
#include <string>

namespace wendel {

struct DesktopPorts {
    Desktop& desktop;
    Timer& grabTimer;
    Diagnostics& diagnostics;
};

// Where the saver's surfaces go as screens come and go: with the background
// on, a black surface over every screen and the board centred inside the
// primary one; with it off, the board alone, centred on the primary screen;
// inside a foreign window, the board centred there and nothing else. Owns
// the keyboard grab and its retries.
class SaverDesktop final {
public:
    // Retry every kGrabRetryMs for kGrabRetries tries before giving up.
    static constexpr int kGrabRetryMs = 100;
    static constexpr int kGrabRetries = 30;

    SaverDesktop(DesktopPorts ports, int boardWidth, int boardHeight);

    // Another program's window holds the board: it owns input and cursor.
    bool Hosted() const { return hosted_; }

    // The board's ShowBackdrop (background ON); must come before ShowBoard.
    void ShowBackdrops();
    void ShowBoard();
    // A screen was added, removed or changed, or the primary one changed.
    void ScreensChanged();
    void GrabTimerTick();
    // The window holding the board was mapped again, or the window system
    // said the grab ended: the grab is taken afresh.
    void KeyboardMayBeLost();
    // The saver ends: the keyboard goes back.
    void End();

private:
    void Arrange();
    void PlaceBoard(BoardHost host, ScreenKey screen, PixelPoint at);
    PixelPoint Centred(const PixelRect& area, bool global) const;
    void StartGrab();
    void TryGrab();

    DesktopPorts ports_;
    int boardWidth_;
    int boardHeight_;
    bool hosted_;
    bool backdrops_ = false;
    bool boardShown_ = false;
    std::map<ScreenKey, PixelRect> shown_;

    struct Placement {
        BoardHost host;
        ScreenKey screen;
        PixelPoint at;
        bool operator==(const Placement&) const = default;
    };
    std::optional<Placement> placement_;

    bool grabbed_ = false;
    bool toldHeld_ = false;
    int grabTries_ = 0;
};

// The cursor of a saver inside another program's window: that program's to
// show or hide, never ours.
class UnownedCursor final : public Cursor {
public:
    void Show(bool) override {}
};

// The window id in XSCREENSAVER_WINDOW: decimal or 0x-prefixed hexadecimal,
// as xscreensaver writes it; nothing for any other text or for 0.
std::optional<unsigned long> ParseWindowId(const std::string& text);

} // namespace wendel
