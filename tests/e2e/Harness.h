#pragma once

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <vector>

// Xlib's macros (None, Bool, KeyPress...) clash with Qt and GoogleTest, so its
// header stays inside XServer.cpp.
struct _XDisplay;

// Lets failure messages and gtest's value printer take Qt's strings as they are.
inline std::ostream& operator<<(std::ostream& out, const QString& text)
{
    return out << text.toStdString();
}
inline std::ostream& operator<<(std::ostream& out, const QByteArray& bytes)
{
    return out << bytes.toStdString();
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << bytes;
}

namespace wendel::e2e {

using Millis = std::chrono::milliseconds;

// A sanitizer build runs several times more slowly: every limit given for a
// normal build stretches here. A passing run never waits a limit out.
Millis Patience(Millis normalBuild);
// Longest time a window may take to appear; it usually takes a tenth of a second.
inline Millis AppearLimit() { return Patience(Millis(5000)); }
// "Ends at once" and "ends when its last window closes".
inline Millis ExitLimit() { return Patience(Millis(2000)); }

// A test binary killed by ctest's timeout leaves no child behind.
void DieWithParent(QProcess& process);

// Polls `done` until it holds or the time is up; true when it held.
bool PollUntil(Millis timeout, const std::function<bool()>& done, Millis interval = Millis(20));

// Runs a helper program (xdotool, mpc, flac...) to its end, killing it when it
// takes longer than `timeout`; `input` goes to its standard input. Its output
// (both channels) when it ended with 0, else nothing.
std::optional<QByteArray> RunTool(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                                  Millis timeout, const QByteArray& input = {});

// One run of a program under test or of a real peer (a jukebox, mpd, a window
// manager...). Its output goes to a log file, never to a pipe that could fill
// up and stall it. It is asked to end (SIGTERM, then SIGKILL) when the object goes.
class Process {
public:
    Process(const QString& program, const QStringList& args, const QProcessEnvironment& env, const QString& logPath);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return started_; }
    QString Program() const { return process_.program(); }
    bool IsRunning() { return StaysRunningFor(Millis(0)); }
    bool StaysRunningFor(Millis duration);
    // The exit status once it has ended by itself; nothing when it still runs
    // after `timeout` or a signal ended it.
    std::optional<int> WaitForExit(Millis timeout);
    // SIGTERM, as a user's Ctrl+C or systemd; its exit status as WaitForExit.
    std::optional<int> Stop();
    void Signal(int signal);
    // SIGKILL, as a crash: no clean-up runs.
    void KillHard();

    QString Log() const;
    bool WaitForLog(const QString& text, Millis timeout = AppearLimit()) const;
    // The frames a jukebox's --verbose log shows for connection `connection`
    // in one direction ('<' received, '>' sent), in order, without their LF.
    QStringList Frames(int connection, QChar direction) const;
    // How it ended, for failure messages: "running", "exit 0", "crashed"...
    QString Describe();

private:
    QProcess process_;
    QString logPath_;
    bool started_ = false;
};

using WindowId = unsigned long;

// A private Xvfb at 96 dpi with no window manager, on a free display number it
// picks itself. Windows are found and driven with xdotool, as a person would.
// The harness's own connection watches the root window from the start, so it
// sees even a window that flashes up for a millisecond. The screen is read from
// Xvfb's framebuffer file: under a window manager a screenshot can show black.
class XServer {
public:
    XServer(const QString& folder, QSize size);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool IsRunning() const { return !display_.isEmpty() && connection_; }
    QString StartFailure() const { return startFailure_; }
    QString Display() const { return display_; }
    // The test's environment with this server's DISPLAY and nothing that could
    // lead a client to another display or session.
    QProcessEnvironment ClientEnvironment() const;
    // Runs an X tool (xrandr, xsetroot, xdotool...) against this server, as RunTool.
    std::optional<QByteArray> Run(const QString& program, const QStringList& args) const;

    // Viewable top-level windows titled `title`.
    std::vector<WindowId> VisibleWindows(const QString& title) const;
    std::optional<WindowId> WaitForWindow(const QString& title, Millis timeout = AppearLimit()) const;
    bool WaitUntilGone(WindowId window, Millis timeout = AppearLimit()) const;
    // Where the window is on the screen while it is viewable.
    std::optional<QRect> Geometry(WindowId window) const;
    // Focuses the window, then types `keys` (xdotool key names) there: Qt
    // ignores synthetic key events, real ones go to the focused window.
    bool PressKeys(WindowId window, const QStringList& keys) const;
    // Moves the pointer to (x, y) inside the window; Click also presses and
    // releases the left button there.
    bool MovePointer(WindowId window, int x, int y) const;
    bool Click(WindowId window, int x, int y) const;

    // Top-level windows mapped since the server started, in the server's order,
    // but for the first `skip`: Mapped().size() marks "from now on".
    std::vector<WindowId> Mapped(std::size_t skip = 0);
    // A property of the window as xprop shows it.
    QString Property(WindowId window, const QString& name) const;
    // A plain window placed exactly, as the one xscreensaver hands over.
    WindowId CreateWindow(const QRect& area);
    // How many pixels of the cursor now on screen can be seen; a hidden cursor has none.
    std::optional<int> VisibleCursorPixels();
    std::optional<QImage> Screen() const;

private:
    QProcess xvfb_;
    QString folder_;
    QString display_;
    QString startFailure_;
    _XDisplay* connection_ = nullptr;
    std::vector<WindowId> mapped_;
};

// How many pixels of `area` are exactly `colour` (0xRRGGBB), or are not it,
// skipping `hole`; how many different colours it holds (a drawn board has many).
int PixelsOf(const QImage& image, const QRect& area, std::uint32_t colour);
int PixelsOtherThan(const QImage& image, const QRect& area, std::uint32_t colour, const QRect& hole = {});
int ColourCount(const QImage& image, const QRect& area);

} // namespace wendel::e2e
