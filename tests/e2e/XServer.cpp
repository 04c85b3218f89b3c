#include "Harness.h"

#include <QtEndian>

// After Qt: Xlib's macros would clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

namespace wendel::e2e {

// Windows of the programs under test come and go on their own; asking about
// one that just vanished is normal here and must not end the test binary.
static int IgnoreXErrors(Display*, XErrorEvent*)
{
    return 0;
}

// -displayfd 1: the server picks a free display and writes its number once it
// accepts clients. -noreset: without it the server resets whenever its last
// client leaves, between two runs of a program.
XServer::XServer(const QString& folder, QSize size)
    : xvfb_({"Xvfb", "-noreset", "-dpi", "96", "-nolisten", "tcp", "-screen", "0",
             QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()), "-displayfd", "1", "-fbdir", folder},
            QProcessEnvironment::systemEnvironment(), folder + "/xvfb.log"),
      folder_(folder)
{
    WaitUntil([&] {
        for (const QString& line : xvfb_.Log().split('\n')) {
            bool isNumber = false;
            line.toUInt(&isNumber);
            if (isNumber) display_ = ':' + line;
        }
        return !display_.isEmpty() || !xvfb_.IsRunning();
    }, Patience(Millis(10000)));
    XSetErrorHandler(IgnoreXErrors);
    connection_ = display_.isEmpty() ? nullptr : XOpenDisplay(display_.toLocal8Bit().constData());
    if (!connection_) {
        failure_ = "no X server; " + xvfb_.Describe() + "\n" + xvfb_.Log();
        return;
    }
    XSelectInput(connection_, DefaultRootWindow(connection_), SubstructureNotifyMask);
    XSync(connection_, False);
}

XServer::~XServer()
{
    // Our own client goes first: Xlib ends the whole process when its server
    // disappears under an open connection.
    if (connection_) XCloseDisplay(connection_);
}

QProcessEnvironment XServer::ClientEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS"}) env.remove(name);
    env.insert("DISPLAY", display_);
    return env;
}

std::optional<QByteArray> XServer::Run(const QStringList& command) const
{
    // One call answers in milliseconds: a hang fails long before ctest's timeout.
    return RunTool(command, ClientEnvironment(), Millis(5000));
}

std::vector<WindowId> XServer::VisibleWindows(const QString& title) const
{
    // An extended regular expression, matched ignoring case: the titles here
    // hold no special characters and differ in more than case.
    const QByteArray found = Run({"xdotool", "search", "--onlyvisible", "--name", '^' + title + '$'}).value_or("");
    std::vector<WindowId> windows;
    for (const QByteArray& line : found.split('\n')) {
        if (!line.isEmpty()) windows.push_back(line.toULong());
    }
    return windows;
}

std::optional<WindowId> XServer::WaitForWindow(const QString& title, Millis timeout) const
{
    std::optional<WindowId> window;
    WaitUntil([&] {
        const std::vector<WindowId> windows = VisibleWindows(title);
        if (!windows.empty()) window = windows.front();
        return window.has_value();
    }, timeout);
    return window;
}

std::optional<QRect> XServer::Geometry(WindowId window) const
{
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = 0;
    if (XGetWindowAttributes(connection_, window, &attributes) == 0 || attributes.map_state != IsViewable ||
        !XTranslateCoordinates(connection_, window, DefaultRootWindow(connection_), 0, 0, &x, &y, &child))
        return std::nullopt;
    return QRect(x, y, attributes.width, attributes.height);
}

bool XServer::Press(WindowId window, const QString& key) const
{
    return Run({"xdotool", "windowfocus", "--sync", QString::number(window), "key", key}).has_value();
}

std::vector<WindowId> XServer::Mapped(std::size_t skip)
{
    // The round trip makes the server hand over every event it produced before.
    XSync(connection_, False);
    while (XPending(connection_) > 0) {
        XEvent event;
        XNextEvent(connection_, &event);
        if (event.type == MapNotify) mapped_.push_back(event.xmap.window);
    }
    return std::vector<WindowId>(mapped_.begin() + static_cast<std::ptrdiff_t>(std::min(skip, mapped_.size())),
                                 mapped_.end());
}

WindowId XServer::CreateWindow(const QRect& area)
{
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(connection_, DefaultScreen(connection_));
    const Window window = XCreateWindow(connection_, DefaultRootWindow(connection_), area.x(), area.y(),
                                        static_cast<unsigned>(area.width()), static_cast<unsigned>(area.height()), 0,
                                        CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel,
                                        &attributes);
    XMapWindow(connection_, window);
    XSync(connection_, False);
    return window;
}

std::optional<int> XServer::VisibleCursorPixels()
{
    int eventBase = 0;
    int errorBase = 0;
    XFixesCursorImage* image =
        XFixesQueryExtension(connection_, &eventBase, &errorBase) ? XFixesGetCursorImage(connection_) : nullptr;
    if (!image) return std::nullopt;
    int visible = 0;
    // ARGB in the low 32 bits of each element.
    for (long i = 0; i < static_cast<long>(image->width) * image->height; ++i) {
        if (((image->pixels[i] >> 24) & 0xFF) != 0) ++visible;
    }
    XFree(image);
    return visible;
}

std::optional<QImage> XServer::Screen() const
{
    // An XWD file: 25 big-endian 32-bit header fields, a colour map, then the
    // pixels; at 32 bits in the server's byte order, least significant first,
    // they are QImage's own RGB32.
    enum Field { kHeaderSize = 0, kWidth = 4, kHeight = 5, kByteOrder = 7, kBitsPerPixel = 11, kBytesPerLine = 12,
                 kColourCount = 19, kFieldCount = 25 };
    const QByteArray bytes = ReadFile(folder_ + "/Xvfb_screen0").value_or("");
    if (bytes.size() < kFieldCount * 4) return std::nullopt;
    quint32 field[kFieldCount];
    for (int i = 0; i < kFieldCount; ++i) field[i] = qFromBigEndian<quint32>(bytes.constData() + 4 * i);
    const qint64 offset = qint64(field[kHeaderSize]) + qint64(field[kColourCount]) * 12;
    if (field[kBitsPerPixel] != 32 || field[kByteOrder] != 0 ||
        offset + qint64(field[kBytesPerLine]) * field[kHeight] > bytes.size())
        return std::nullopt;
    return QImage(reinterpret_cast<const uchar*>(bytes.constData() + offset), static_cast<int>(field[kWidth]),
                  static_cast<int>(field[kHeight]), field[kBytesPerLine], QImage::Format_RGB32)
        .copy();
}

} // namespace wendel::e2e
