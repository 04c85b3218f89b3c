#pragma once

#include "Waiting.h"
#include "XConnection.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace wendel::e2e {

struct WindowGeometry {
    QString title;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool viewable = false;
};

struct XServerOptions {
    int width = 1024;
    int height = 768;
    // Where Xvfb keeps its screen as an XWD file (Xvfb_screen0); empty: none.
    // Unlike a screenshot, it shows the true pixels under a window manager.
    QString framebufferDir;
};

// A private Xvfb at 96 dpi with no window manager, started for one test and
// stopped with it. The server picks a free display number itself, so tests
// running side by side never meet. Windows are found, measured and driven with
// the same tools a person would use (xdotool, xwininfo); watching the root
// window and reading the cursor go through the harness's own connection.
class XServer {
public:
    // `logPath` receives the server's own messages.
    explicit XServer(const QString& logPath, const XServerOptions& options = {});
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool IsRunning() const { return !display_.isEmpty() && connection_ && connection_->IsOpen(); }
    QString StartFailure() const { return startFailure_; }
    QString Display() const { return display_; }

    // The test's environment with this server's DISPLAY and nothing that could
    // lead a client to another display or session.
    QProcessEnvironment ClientEnvironment() const;

    // Viewable top-level windows whose title is exactly `title`.
    std::vector<WindowId> VisibleWindows(const QString& title) const;
    std::optional<WindowId> WaitForWindow(const QString& title, Millis timeout) const;
    bool WaitUntilGone(WindowId window, Millis timeout) const;

    std::optional<WindowGeometry> Inspect(WindowId window) const;

    // Focuses the window, waits until it has the focus, then types `keys`
    // one after another (xdotool key names: Return, Escape, a, ctrl+c...).
    bool PressKeys(WindowId window, const QStringList& keys) const;
    // Moves the pointer to (x, y) inside the window; Click also presses and
    // releases the left button there.
    bool MovePointer(WindowId window, int x, int y) const;
    bool Click(WindowId window, int x, int y) const;

    XConnection& Connection() { return *connection_; }

    // Runs an X tool (xrandr, xsetroot, xprop...) against this server; true
    // when it succeeded. Its output goes to `out` when given.
    bool Run(const QString& program, const QStringList& args, QByteArray* out = nullptr) const;

private:
    ToolResult Tool(const QString& program, const QStringList& args) const;

    QProcess xvfb_;
    QString display_;
    QString startFailure_;
    std::unique_ptr<XConnection> connection_;
};

} // namespace wendel::e2e
