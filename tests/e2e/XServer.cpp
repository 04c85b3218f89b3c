#include "Harness.h"

#include <QDir>
#include <QRegularExpression>
#include <QtEndian>

#include <iostream>

// After Qt: Xlib's macros would clash with its names.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

namespace wendel::e2e {

void SaverTest::SetUp()
{
    ASSERT_TRUE(root_.isValid()) << root_.errorString();
    ASSERT_TRUE(QDir().mkpath(RuntimeDir()) && QDir().mkpath(Path("settings")));
    ASSERT_TRUE(QFile::setPermissions(RuntimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    // -displayfd 1: it picks a free display and writes its number once it accepts clients. -noreset: it does
    // not reset when its last client leaves, between two runs of a program. -wr: a white desktop.
    const QString size = QStringLiteral("%1x%2x24").arg(screenSize.width()).arg(screenSize.height());
    xvfb_ = std::make_unique<Process>(QStringList{"Xvfb", "-noreset", "-dpi", "96", "-nolisten", "tcp", "-screen", "0",
                                                  size, "-wr", "-displayfd", "1", "-fbdir", root_.path()},
                                      QProcessEnvironment::systemEnvironment(), Path("xvfb.log"));
    const QRegularExpression announced("^(\\d+)$", QRegularExpression::MultilineOption);
    WaitUntil([&] { return xvfb_->Log().contains(announced) || !xvfb_->IsRunning(); }, Patience(Millis(10000)));
    display_ = ':' + announced.match(xvfb_->Log()).captured(1);
    // Windows come and go on their own: asking about a vanished one must not end the test binary.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    x_ = display_ == ":" ? nullptr : XOpenDisplay(display_.toLocal8Bit().constData());
    ASSERT_TRUE(x_) << "no X server; " << xvfb_->Describe() << "\n" << xvfb_->Log();
    XSelectInput(x_, DefaultRootWindow(x_), SubstructureNotifyMask);
    XSync(x_, False);
}

void SaverTest::TearDown()
{
    if (HasFailure()) {
        for (const auto& process : processes_) std::cout << "--- " << process->Describe() << "\n" << process->Log();
    }
    while (!processes_.empty()) processes_.pop_back();
    // Our client goes first: Xlib ends the process when its server vanishes under an open connection.
    if (x_) XCloseDisplay(x_);
    xvfb_.reset();
}

std::optional<QByteArray> SaverTest::RunX(const QStringList& command) const
{
    // One call answers in milliseconds: a hang fails long before ctest's timeout.
    return RunTool(command, Environment(), Millis(5000));
}

std::vector<WindowId> SaverTest::VisibleWindows(const QString& title) const
{
    const QByteArray found = RunX({"xdotool", "search", "--onlyvisible", "--name", '^' + title + '$'}).value_or("");
    std::vector<WindowId> windows;
    for (const QByteArray& line : found.split('\n')) {
        if (!line.isEmpty()) windows.push_back(line.toULong());
    }
    return windows;
}

std::optional<WindowId> SaverTest::WaitForWindow(const QString& title, Millis timeout) const
{
    std::vector<WindowId> windows;
    WaitUntil([&] { return !(windows = VisibleWindows(title)).empty(); }, timeout);
    return windows.empty() ? std::nullopt : std::optional<WindowId>(windows.front());
}

std::optional<QRect> SaverTest::Geometry(WindowId window) const
{
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = 0;
    if (XGetWindowAttributes(x_, window, &attributes) == 0 || attributes.map_state != IsViewable ||
        !XTranslateCoordinates(x_, window, DefaultRootWindow(x_), 0, 0, &x, &y, &child))
        return std::nullopt;
    return QRect(x, y, attributes.width, attributes.height);
}

bool SaverTest::Press(WindowId window, const QString& key) const
{
    return RunX({"xdotool", "windowfocus", "--sync", QString::number(window), "key", key}).has_value();
}

std::vector<WindowId> SaverTest::Mapped(std::size_t skip)
{
    // The round trip makes the server hand over every event it produced before.
    XSync(x_, False);
    while (XPending(x_) > 0) {
        XEvent event;
        XNextEvent(x_, &event);
        if (event.type == MapNotify) mapped_.push_back(event.xmap.window);
    }
    return std::vector<WindowId>(mapped_.begin() + static_cast<std::ptrdiff_t>(std::min(skip, mapped_.size())),
                                 mapped_.end());
}

WindowId SaverTest::CreateWindow(const QRect& area)
{
    const Window window =
        XCreateSimpleWindow(x_, DefaultRootWindow(x_), area.x(), area.y(), static_cast<unsigned>(area.width()),
                            static_cast<unsigned>(area.height()), 0, 0, WhitePixel(x_, DefaultScreen(x_)));
    XMapWindow(x_, window);
    XSync(x_, False);
    return window;
}

bool SaverTest::CursorShownAt(const QPoint& point, bool shown)
{
    return RunX({"xdotool", "mousemove", "--sync", QString::number(point.x()), QString::number(point.y())}) &&
           WaitUntil([&] {
               XFixesCursorImage* image = XFixesGetCursorImage(x_);
               bool visible = false;
               // ARGB in the low 32 bits of each element.
               for (long i = 0; image && i < long(image->width) * image->height; ++i)
                   visible = visible || (image->pixels[i] >> 24 & 0xFF) != 0;
               if (image) XFree(image);
               return visible == shown;
           });
}

QImage SaverTest::Screen() const
{
    // An XWD file: 25 big-endian 32-bit header fields, a colour map, then the pixels; at 32 bits in the
    // server's byte order, least significant first, they are QImage's own RGB32.
    enum Field { kHeaderSize = 0, kWidth = 4, kHeight = 5, kByteOrder = 7, kBitsPerPixel = 11, kBytesPerLine = 12,
                 kColourCount = 19, kFieldCount = 25 };
    const QByteArray bytes = ReadFile(Path("Xvfb_screen0"));
    if (bytes.size() < kFieldCount * 4) return {};
    quint32 field[kFieldCount];
    for (int i = 0; i < kFieldCount; ++i) field[i] = qFromBigEndian<quint32>(bytes.constData() + 4 * i);
    const qint64 offset = qint64(field[kHeaderSize]) + qint64(field[kColourCount]) * 12;
    if (field[kBitsPerPixel] != 32 || field[kByteOrder] != 0 ||
        offset + qint64(field[kBytesPerLine]) * field[kHeight] > bytes.size())
        return {};
    return QImage(reinterpret_cast<const uchar*>(bytes.constData() + offset), static_cast<int>(field[kWidth]),
                  static_cast<int>(field[kHeight]), field[kBytesPerLine], QImage::Format_RGB32)
        .copy();
}

} // namespace wendel::e2e
