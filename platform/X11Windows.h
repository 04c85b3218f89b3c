#pragma once

#include "ports/Desktop.h"

#include <QAbstractNativeEventFilter>
#include <QRect>
#include <QWindow>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// The X11 means for what Qt does not offer: the window background pixel,
// window-manager states set before mapping, the keyboard grab, the server's
// own screen saver, and asking about a window another program made. Everything here is a no-op (or says
// "unsupported") on any other window system.
namespace wendel::x11 {

bool Available();

// The server fills the window with black wherever it is exposed; Qt never
// paints it, so no client-side buffer holds the black.
void SetBlackBackground(WId window);
// Before the first map: above every other window, no task-bar or pager
// entry, and full screen when asked.
void MarkSaverWindow(WId window, bool fullScreen);

// MarkSaverWindow for a window not made yet: the names of the states are
// asked when this is made and read at the first Mark. Made before its
// window, the answer arrives with the server's reply to Qt's own questions
// instead of costing a wait of its own.
class SaverStates final {
public:
    SaverStates();
    ~SaverStates();
    SaverStates(const SaverStates&) = delete;
    SaverStates& operator=(const SaverStates&) = delete;

    void Mark(WId window, bool fullScreen);

private:
    std::vector<unsigned int> asked_;  // the questions not yet answered
    std::vector<std::uint32_t> atoms_; // _NET_WM_STATE, then the states
};
// Before the first map: no task-bar entry, beside whatever states Qt sets
// (a settings dialog of a screen saver keeps off the task bar).
void KeepOffTaskBar(WId window);

// The X server keeps an idle timer of its own (`xset s SECONDS`) and blanks
// the screen when it runs out. A launcher starts the saver either because that
// blank came on (xss-lock) or by its own count, which may end a moment before
// the server's (xautolock): either way the board would lie under the server's
// blank screen, at once or a few seconds after it appeared. Resetting the
// server's screen saver, as input would, takes the blank away and starts its
// count again from the board's start; its own blank then comes as the user
// set it, counted from there.
void ResetScreenSaver();

GrabResult GrabKeyboard(WId window);
void UngrabKeyboard();

// Watches Qt's X events for what can end a keyboard grab unasked: the
// holding window mapped anew (a window manager that reparents unmaps it
// first) or the server reporting the grab's end.
class GrabWatch final : public QAbstractNativeEventFilter {
public:
    GrabWatch(std::function<WId()> holder, std::function<void()> onMaybeLost);
    ~GrabWatch() override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::function<WId()> holder_;
    std::function<void()> onMaybeLost_;
};

// The size of another program's window; nothing when it does not exist.
std::optional<QRect> ForeignGeometry(WId window);

} // namespace wendel::x11
