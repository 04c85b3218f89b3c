#include "ScreenArea.h"

// Xlib's macros clash with Qt and GoogleTest; they stay in this file.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace wendel::e2e {

std::optional<int> CountScreenPixels(const QString& display, const QRect& area, std::uint32_t colour)
{
    Display* connection = XOpenDisplay(display.toLocal8Bit().constData());
    if (!connection) return std::nullopt;
    std::optional<int> count;
    // One request for the whole area: reading pixel by pixel would take seconds.
    XImage* image = XGetImage(connection, DefaultRootWindow(connection), area.x(), area.y(),
                              static_cast<unsigned>(area.width()), static_cast<unsigned>(area.height()),
                              AllPlanes, ZPixmap);
    if (image) {
        int matching = 0;
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x) {
                if ((XGetPixel(image, x, y) & 0xFFFFFF) == colour) ++matching;
            }
        }
        count = matching;
        XDestroyImage(image);
    }
    XCloseDisplay(connection);
    return count;
}

} // namespace wendel::e2e
