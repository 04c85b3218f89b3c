#pragma once

#include <optional>
#include <string>
#include <vector>

namespace wendel {

// A screen as the platform numbers it; a number is never given to two screens.
using ScreenKey = int;

// Device-independent pixels, as the window system lays out screens.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PixelRect&) const = default;
};

struct PixelPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPoint&) const = default;
};

struct ScreenInfo {
    ScreenKey key = 0;
    PixelRect area;
};

// Where the board is drawn: its own small window, inside the full-screen
// backdrop of a screen, or inside a window another program gave us.
enum class BoardHost { OwnWindow, Backdrop, ForeignWindow };

enum class GrabResult {
    Grabbed,
    NotViewable,   // the window is not on the screen yet
    HeldElsewhere, // another program holds the keyboard
    Refused,       // any other refusal by the window system
    Unsupported,   // the window system has no keyboard grabs for clients
};

// The screens and the saver's windows on them.
class Desktop {
public:
    virtual ~Desktop() = default;

    virtual std::vector<ScreenInfo> Screens() const = 0;
    virtual ScreenKey PrimaryScreen() const = 0;
    // The size of the window another program asked us to draw into, if any.
    virtual std::optional<PixelRect> ForeignWindow() const = 0;

    // Shows a black surface over the whole of `area`, or fits the one the
    // screen already has to it.
    virtual void ShowBackdrop(ScreenKey screen, const PixelRect& area) = 0;
    virtual void RemoveBackdrop(ScreenKey screen) = 0;
    // Shows the board at `at`: inside the host (the backdrop of `screen` for
    // BoardHost::Backdrop), or on the desktop for its own window.
    virtual void PlaceBoard(BoardHost host, ScreenKey screen, PixelPoint at) = 0;

    // On the window that holds the board; every key then reaches the saver.
    virtual GrabResult GrabKeyboard() = 0;
    virtual void ReleaseKeyboard() = 0;
};

// Lines for the person who started the program (standard error).
class Diagnostics {
public:
    virtual ~Diagnostics() = default;
    virtual void Note(const std::string& line) = 0;
};

} // namespace wendel
