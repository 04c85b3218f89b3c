#pragma once

#include <QString>

#include <optional>
#include <vector>

// Xlib's macros (None, Bool, KeyPress...) clash with Qt and GoogleTest, so its
// header stays inside XConnection.cpp.
struct _XDisplay;

namespace wendel::e2e {

using WindowId = unsigned long;

struct TopLevelEvent {
    enum class Kind { Mapped, Unmapped, Destroyed };
    Kind kind;
    WindowId window;
};

// The harness's own client of the test's X server. It watches the root window
// from the moment it connects, so it sees every top-level window that is
// mapped, even one that flashes up for a millisecond, which polling with
// xdotool would miss. It also reads what tools cannot: the cursor image.
class XConnection {
public:
    // Nothing is connected when the display cannot be opened; see IsOpen().
    explicit XConnection(const QString& display);
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    bool IsOpen() const { return display_ != nullptr; }

    // Every map, unmap and destroy of a top-level window since the connection
    // opened, in the server's order, up to every request the server has
    // handled by now.
    const std::vector<TopLevelEvent>& TopLevelEvents();

    // The window's title, or nothing when the window no longer exists.
    std::optional<QString> Title(WindowId window);

    // The names of the atoms in an ATOM-typed property of the window, such as
    // _NET_WM_STATE; empty when it has none.
    std::vector<QString> AtomNames(WindowId window, const char* property);

    // Asks the window to close, as a window manager's close button does.
    bool RequestClose(WindowId window);

    // Makes and maps a plain top-level window, as a program that hands its
    // window to a screen saver does; its id, or nothing.
    std::optional<WindowId> CreateWindow(int x, int y, int width, int height);

    // How many pixels of the cursor now on screen can be seen (alpha above 0);
    // nothing when XFixes is missing. A hidden cursor has none.
    std::optional<int> VisibleCursorPixels();

private:
    _XDisplay* display_ = nullptr;
    std::vector<TopLevelEvent> events_;
};

} // namespace wendel::e2e
