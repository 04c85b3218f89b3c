#include "Harness.h"

#include <QFile>
#include <QtEndian>

// After Qt: Xlib's macros would clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

namespace wendel::e2e {

namespace {

// One xdotool or xwininfo call answers in milliseconds, so a hang shows as a
// failure long before ctest's own timeout.
const Millis kToolTimeout = Millis(5000);

// Windows of the programs under test come and go on their own; asking about
// one that just vanished is normal here and must not end the test binary.
int IgnoreXErrors(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

XServer::XServer(const QString& folder, QSize size) : folder_(folder)
{
    DieWithParent(xvfb_);
    xvfb_.setStandardErrorFile(folder + QStringLiteral("/xvfb.log"));
    // -displayfd 1: the server chooses a free display and writes its number
    // once it accepts clients. -noreset: without it the server resets whenever
    // its last client leaves, between two runs of a program.
    xvfb_.start(QStringLiteral("Xvfb"),
                {QStringLiteral("-noreset"), QStringLiteral("-dpi"), QStringLiteral("96"), QStringLiteral("-nolisten"),
                 QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                 QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()), QStringLiteral("-displayfd"),
                 QStringLiteral("1"), QStringLiteral("-fbdir"), folder});
    QByteArray announced;
    PollUntil(Patience(Millis(10000)), [&] {
        xvfb_.waitForReadyRead(50);
        announced += xvfb_.readAllStandardOutput();
        return announced.contains('\n') || xvfb_.state() == QProcess::NotRunning;
    });
    bool isNumber = false;
    const int number = announced.trimmed().toInt(&isNumber);
    if (!isNumber) {
        startFailure_ = QStringLiteral("Xvfb gave no display number; see ") + folder + QStringLiteral("/xvfb.log");
        return;
    }
    display_ = QStringLiteral(":%1").arg(number);
    XSetErrorHandler(IgnoreXErrors);
    connection_ = XOpenDisplay(display_.toLocal8Bit().constData());
    if (!connection_) {
        startFailure_ = QStringLiteral("cannot connect to ") + display_;
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
    // A polite end lets Xvfb remove its lock and socket from /tmp.
    xvfb_.terminate();
    if (!xvfb_.waitForFinished(2000)) xvfb_.kill();
    xvfb_.waitForFinished(2000);
}

QProcessEnvironment XServer::ClientEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("DISPLAY"), display_);
    return env;
}

std::optional<QByteArray> XServer::Run(const QString& program, const QStringList& args) const
{
    return RunTool(program, args, ClientEnvironment(), kToolTimeout);
}

std::vector<WindowId> XServer::VisibleWindows(const QString& title) const
{
    // An extended regular expression, matched ignoring case: the titles here
    // hold no special characters and differ in more than case.
    const QByteArray found = Run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                             QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')})
                                 .value_or(QByteArray());
    std::vector<WindowId> windows;
    for (const QByteArray& line : found.split('\n')) {
        if (!line.isEmpty()) windows.push_back(line.toULong());
    }
    return windows;
}

std::optional<WindowId> XServer::WaitForWindow(const QString& title, Millis timeout) const
{
    std::optional<WindowId> window;
    PollUntil(timeout, [&] {
        const std::vector<WindowId> windows = VisibleWindows(title);
        if (!windows.empty()) window = windows.front();
        return window.has_value();
    });
    return window;
}

bool XServer::WaitUntilGone(WindowId window, Millis timeout) const
{
    return PollUntil(timeout, [&] { return !Geometry(window); });
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

bool XServer::PressKeys(WindowId window, const QStringList& keys) const
{
    return Run(QStringLiteral("xdotool"), QStringList{QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                                                    QString::number(window), QStringLiteral("key")} + keys)
        .has_value();
}

bool XServer::MovePointer(WindowId window, int x, int y) const
{
    return Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"),
                                           QString::number(window), QStringLiteral("--sync"), QString::number(x),
                                           QString::number(y)})
        .has_value();
}

bool XServer::Click(WindowId window, int x, int y) const
{
    return MovePointer(window, x, y) && Run(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")});
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

QString XServer::Property(WindowId window, const QString& name) const
{
    // "_NET_WM_STATE(ATOM) = _NET_WM_STATE_ABOVE, _NET_WM_STATE_SKIP_TASKBAR"
    return QString::fromUtf8(Run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), name}).value_or(""));
}

WindowId XServer::CreateWindow(const QRect& area)
{
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True; // placed exactly, as xscreensaver's own window is
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
    if (!XFixesQueryExtension(connection_, &eventBase, &errorBase)) return std::nullopt;
    XFixesCursorImage* image = XFixesGetCursorImage(connection_);
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
    QFile file(folder_ + QStringLiteral("/Xvfb_screen0"));
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
