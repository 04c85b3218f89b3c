#include "XConnection.h"

#include <QByteArray>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

namespace wendel::e2e {

namespace {

// Windows of the program under test come and go on their own; asking about
// one that just vanished is normal here and must not end the test binary.
int IgnoreXErrors(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

XConnection::XConnection(const QString& display)
{
    XSetErrorHandler(IgnoreXErrors);
    display_ = XOpenDisplay(display.toLocal8Bit().constData());
    if (!display_) return;
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XSync(display_, False);
}

XConnection::~XConnection()
{
    if (display_) XCloseDisplay(display_);
}

const std::vector<TopLevelEvent>& XConnection::TopLevelEvents()
{
    if (!display_) return events_;
    // The round trip makes the server hand over every event it produced before
    // answering it.
    XSync(display_, False);
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        switch (event.type) {
        case MapNotify:
            events_.push_back({TopLevelEvent::Kind::Mapped, event.xmap.window});
            break;
        case UnmapNotify:
            events_.push_back({TopLevelEvent::Kind::Unmapped, event.xunmap.window});
            break;
        case DestroyNotify:
            events_.push_back({TopLevelEvent::Kind::Destroyed, event.xdestroywindow.window});
            break;
        default:
            break;
        }
    }
    return events_;
}

std::optional<QString> XConnection::Title(WindowId window)
{
    if (!display_) return std::nullopt;
    XTextProperty property{};
    if (XGetWMName(display_, window, &property) == 0 || !property.value) {
        return std::nullopt;
    }
    // Qt sets the title as UTF-8; the tests compare it with ASCII titles.
    const QString title = QString::fromUtf8(reinterpret_cast<const char*>(property.value),
                                            static_cast<qsizetype>(property.nitems));
    XFree(property.value);
    return title;
}

std::vector<QString> XConnection::AtomNames(WindowId window, const char* property)
{
    std::vector<QString> names;
    if (!display_) return names;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const Atom name = XInternAtom(display_, property, False);
    if (XGetWindowProperty(display_, window, name, 0, 1024, False, XA_ATOM, &type, &format, &count, &after,
                           &data) != Success || !data) {
        return names;
    }
    // Format 32 comes as longs, whatever their size.
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; format == 32 && i < count; ++i) {
        char* text = XGetAtomName(display_, atoms[i]);
        if (!text) continue;
        names.push_back(QString::fromLatin1(text));
        XFree(text);
    }
    XFree(data);
    return names;
}

bool XConnection::RequestClose(WindowId window)
{
    if (!display_) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display_, window, False, NoEventMask, &event);
    XSync(display_, False);
    return sent != 0;
}

std::optional<WindowId> XConnection::CreateWindow(int x, int y, int width, int height)
{
    if (!display_) return std::nullopt;
    const int screen = DefaultScreen(display_);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True; // placed exactly, as xscreensaver's own window is
    attributes.background_pixel = WhitePixel(display_, screen);
    const Window window = XCreateWindow(display_, DefaultRootWindow(display_), x, y,
                                        static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                        CopyFromParent, InputOutput, CopyFromParent,
                                        CWOverrideRedirect | CWBackPixel, &attributes);
    XMapWindow(display_, window);
    XSync(display_, False);
    return window;
}

std::optional<int> XConnection::VisibleCursorPixels()
{
    if (!display_) return std::nullopt;
    int eventBase = 0;
    int errorBase = 0;
    if (!XFixesQueryExtension(display_, &eventBase, &errorBase)) return std::nullopt;
    XFixesCursorImage* image = XFixesGetCursorImage(display_);
    if (!image) return std::nullopt;
    int visible = 0;
    const long count = static_cast<long>(image->width) * image->height;
    for (long i = 0; i < count; ++i) {
        // ARGB in the low 32 bits of each element.
        if (((image->pixels[i] >> 24) & 0xFF) != 0) ++visible;
    }
    XFree(image);
    return visible;
}

} // namespace wendel::e2e
