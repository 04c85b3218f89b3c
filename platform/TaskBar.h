#pragma once

class QWidget;

namespace wendel {

// Keeps a top-level window off the task bar, as a screen saver's settings
// dialog should be. On X11 the window gets _NET_WM_STATE_SKIP_TASKBAR before
// it is first mapped (Qt merges the states it sets itself with it). Other
// window systems offer no such hint; there the call does nothing. Call it
// before the window is first shown.
void KeepOffTaskBar(QWidget& window);

} // namespace wendel
