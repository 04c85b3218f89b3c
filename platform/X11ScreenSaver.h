#pragma once

namespace wendel {

// The X server keeps an idle timer of its own (`xset s SECONDS`) and blanks
// the screen when it runs out. A launcher starts the saver either because that
// blank came on (xss-lock) or by its own count, which may end a moment before
// the server's (xautolock): either way the board would lie under the server's
// blank screen, at once or a few seconds after it appeared. Resetting the
// server's screen saver, as input would, takes the blank away and starts its
// count again from the board's start; its own blank then comes as the user
// set it, counted from there. Does nothing away from X11.
void ResetX11ScreenSaver();

} // namespace wendel
