#include "ScreenPixels.h"

// Xlib's macros clash with Qt and GoogleTest; they stay in this file.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace wendel::e2e {

std::optional<std::uint32_t> ScreenPixel(const QString& display, int x, int y)
{
    Display* connection = XOpenDisplay(display.toLocal8Bit().constData());
    if (!connection) return std::nullopt;
    std::optional<std::uint32_t> colour;
    XImage* image = XGetImage(connection, DefaultRootWindow(connection), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image) {
        colour = static_cast<std::uint32_t>(XGetPixel(image, 0, 0) & 0xFFFFFF);
        XDestroyImage(image);
    }
    XCloseDisplay(connection);
    return colour;
}

} // namespace wendel::e2e
