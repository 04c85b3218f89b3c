#include "XServer.h"

#include <QRegularExpression>

namespace wendel::e2e {

namespace {

// One xdotool or xwininfo call; they answer in milliseconds, so a hang
// shows as a failure long before ctest's own timeout.
const Millis kToolTimeout = Millis(5000);

QString AnchoredPattern(const QString& title)
{
    // xdotool matches an extended regular expression, ignoring case; the
    // exact, case-sensitive comparison follows in VisibleWindows.
    const QString special = QStringLiteral("[]\\^$.|?*+(){}");
    QString pattern = QStringLiteral("^");
    for (const QChar c : title) {
        if (special.contains(c)) pattern += QLatin1Char('\\');
        pattern += c;
    }
    return pattern + QLatin1Char('$');
}

int IntField(const QString& text, const QString& label)
{
    const QRegularExpression pattern(QRegularExpression::escape(label) +
                                     QStringLiteral(R"(:\s*(-?\d+))"));
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace

XServer::XServer(const QString& logPath, const XServerOptions& options)
{
    DieWithParent(xvfb_);
    xvfb_.setStandardErrorFile(logPath);
    // -displayfd 1: the server chooses a free display and writes its number to
    // our end of the pipe once it accepts clients. -noreset: without it the
    // server resets whenever its last client leaves, between two runs of the
    // program under test.
    QStringList args{QStringLiteral("-noreset"), QStringLiteral("-dpi"), QStringLiteral("96"),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                     QStringLiteral("0"),
                     QStringLiteral("%1x%2x24").arg(options.width).arg(options.height),
                     QStringLiteral("-displayfd"), QStringLiteral("1")};
    if (!options.framebufferDir.isEmpty()) args << QStringLiteral("-fbdir") << options.framebufferDir;
    xvfb_.start(QStringLiteral("Xvfb"), args);
    const int startMs = static_cast<int>(Patience(Millis(10000)).count());
    if (!xvfb_.waitForStarted(startMs)) {
        startFailure_ = QStringLiteral("Xvfb did not start: ") + xvfb_.errorString();
        return;
    }
    QByteArray announced;
    const bool gotNumber = PollUntil(Patience(Millis(10000)), [&] {
        xvfb_.waitForReadyRead(50);
        announced += xvfb_.readAllStandardOutput();
        return announced.contains('\n') || xvfb_.state() != QProcess::Running;
    });
    bool isNumber = false;
    const int number = announced.trimmed().toInt(&isNumber);
    if (!gotNumber || !isNumber) {
        startFailure_ = QStringLiteral("Xvfb gave no display number; see ") + logPath;
        return;
    }
    display_ = QStringLiteral(":%1").arg(number);
    connection_ = std::make_unique<XConnection>(display_);
    if (!connection_->IsOpen()) startFailure_ = QStringLiteral("cannot connect to ") + display_;
}

XServer::~XServer()
{
    // Our own client goes first: Xlib ends the whole process when its server
    // disappears under an open connection.
    connection_.reset();
    if (xvfb_.state() == QProcess::NotRunning) return;
    // A polite end lets Xvfb remove its lock and socket from /tmp.
    xvfb_.terminate();
    if (!xvfb_.waitForFinished(2000)) {
        xvfb_.kill();
        xvfb_.waitForFinished(2000);
    }
}

QProcessEnvironment XServer::ClientEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS"}) {
        env.remove(QString::fromLatin1(name));
    }
    env.insert(QStringLiteral("DISPLAY"), display_);
    return env;
}

ToolResult XServer::Tool(const QString& program, const QStringList& args) const
{
    return RunTool(program, args, ClientEnvironment(), kToolTimeout);
}

bool XServer::Run(const QString& program, const QStringList& args, QByteArray* out) const
{
    const ToolResult result = Tool(program, args);
    if (out) *out = result.out;
    return result.Succeeded();
}

std::vector<WindowId> XServer::VisibleWindows(const QString& title) const
{
    const ToolResult found =
        Tool(QStringLiteral("xdotool"),
             {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
              AnchoredPattern(title)});
    std::vector<WindowId> windows;
    if (!found.finished) return windows;
    for (const QByteArray& line : found.out.split('\n')) {
        bool ok = false;
        const WindowId id = line.trimmed().toULong(&ok);
        if (!ok) continue;
        const std::optional<WindowGeometry> geometry = Inspect(id);
        if (geometry && geometry->viewable && geometry->title == title) windows.push_back(id);
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
    return PollUntil(timeout, [&] {
        const std::optional<WindowGeometry> geometry = Inspect(window);
        return !geometry || !geometry->viewable;
    });
}

std::optional<WindowGeometry> XServer::Inspect(WindowId window) const
{
    const ToolResult info =
        Tool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    if (!info.Succeeded()) return std::nullopt;
    const QString text = QString::fromUtf8(info.out);
    WindowGeometry geometry;
    // xwininfo: Window id: 0x400010 "WendelSaver Screensaver Setup"
    static const QRegularExpression titleLine(QStringLiteral(R"re(Window id: \S+ "(.*)"\s*$)re"),
                                              QRegularExpression::MultilineOption);
    const QRegularExpressionMatch title = titleLine.match(text);
    if (title.hasMatch()) geometry.title = title.captured(1);
    geometry.x = IntField(text, QStringLiteral("Absolute upper-left X"));
    geometry.y = IntField(text, QStringLiteral("Absolute upper-left Y"));
    geometry.width = IntField(text, QStringLiteral("Width"));
    geometry.height = IntField(text, QStringLiteral("Height"));
    geometry.viewable = text.contains(QStringLiteral("Map State: IsViewable"));
    return geometry;
}

bool XServer::PressKeys(WindowId window, const QStringList& keys) const
{
    // Qt ignores synthetic key events (xdotool key --window); real ones go to
    // the focused window, so the focus comes first.
    const QStringList args = QStringList{QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                                         QString::number(window), QStringLiteral("key")} +
                             keys;
    return Tool(QStringLiteral("xdotool"), args).Succeeded();
}

bool XServer::MovePointer(WindowId window, int x, int y) const
{
    return Tool(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
                 QStringLiteral("--sync"), QString::number(x), QString::number(y)})
        .Succeeded();
}

bool XServer::Click(WindowId window, int x, int y) const
{
    return MovePointer(window, x, y) &&
           Tool(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")})
               .Succeeded();
}

} // namespace wendel::e2e
