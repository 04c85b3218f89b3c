#pragma once

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

inline std::ostream& operator<<(std::ostream& out, const QString& text) { return out << text.toStdString(); }
inline std::ostream& operator<<(std::ostream& out, const QByteArray& bytes) { return out << bytes.toStdString(); }
inline void PrintTo(const QByteArray& bytes, std::ostream* out) { *out << bytes; }

struct _XDisplay; // Xlib's own header stays in XServer.cpp: its macros clash with Qt's names

namespace wendel::e2e {

using Millis = std::chrono::milliseconds;
using WindowId = unsigned long;

// A limit for a plain build, stretched for a slower one; a passing run never waits one out.
inline Millis Patience(Millis normalBuild) { return normalBuild * WENDEL_E2E_SLOWDOWN; }
inline Millis AppearLimit() { return Patience(Millis(5000)); }
inline Millis ExitLimit() { return Patience(Millis(2000)); }
bool WaitUntil(const std::function<bool()>& done, Millis timeout = AppearLimit(), Millis interval = Millis(50));
// Runs a tool, killed after `timeout`, with `input` on its standard input: its output if it ended with 0.
std::optional<QByteArray> RunTool(const QStringList& command, const QProcessEnvironment& env,
                                  Millis timeout = Patience(Millis(20000)), const QByteArray& input = {});
bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);
// Pixels of `area` not of `colour` (0xRRGGBB), but in `hole`.
int PixelsOtherThan(const QImage& image, const QRect& area, std::uint32_t colour, const QRect& hole = {});

// A program or a real peer, its output in a file (a pipe could fill and stall it); it ends with the object.
class Process {
public:
    Process(const QStringList& command, const QProcessEnvironment& env, const QString& logPath);
    // Politely first, so a peer can take its socket away.
    ~Process() { if (!Stop()) Stop(SIGKILL); }

    bool StaysRunningFor(Millis duration);
    bool IsRunning() { return StaysRunningFor(Millis(0)); }
    // The exit status once it ended by itself; nothing while it runs or when a signal ended it.
    std::optional<int> WaitForExit(Millis timeout = ExitLimit());
    std::optional<int> Stop(int signal = SIGTERM);

    QString Log() const { return QString::fromUtf8(ReadFile(logPath_)); }
    bool WaitForLog(const QString& text, Millis timeout = AppearLimit()) const;
    QString Describe();

private:
    QProcess process_;
    QString logPath_;
};

inline const QString kBoardTitle = QStringLiteral("WendelSaver"); // also the setup's message box
// Places on the board; a square cover is fitted to 320 x 320 at (160, 114), the waiting text in front.
inline const QRect kCoverMiddle(300, 254, 40, 40);
inline const QRect kWaitingLabel(154, 192, 343, 103);
inline const QRect kTrackLabel(34, 28, 306, 26);
inline const QRect kTimeLabel(420, 30, 193, 22);
inline const QRect kAlbumNotice(560, 55, 55, 19);
inline const QRect kUpNextCaption(32, 433, 62, 19);
inline const QRect kNextInfoLabel(109, 433, 400, 19);
inline constexpr std::uint32_t kOlive = 0xC0C000;
inline constexpr std::uint32_t kYellow = 0xFFFF00;
inline constexpr std::uint32_t kCyan = 0x00FFFF;
// Cover colours: none is black or a text colour of the board.
inline constexpr std::uint32_t kRose = 0xC03060;
inline constexpr std::uint32_t kSea = 0x3060C0;
inline const QByteArray kBoardSettings = "Custom Look = 2\r\nOverlap = 1\r\nBackground = ON\r\nDefault Image =\r\n";

// A private Xvfb per test; its processes end with it, last started first; a failed test prints their logs.
// The fixture's X connection watches the root window from the start, so it sees even a window shown for a
// millisecond. The screen is read from Xvfb's framebuffer: a screenshot under a window manager can be black.
class SaverTest : public ::testing::Test {
private:
    QTemporaryDir root_;
    std::unique_ptr<Process> xvfb_;
    QString display_;
    _XDisplay* x_ = nullptr;
    std::vector<WindowId> mapped_;
    std::vector<std::unique_ptr<Process>> processes_;

protected:
    void SetUp() override;
    void TearDown() override;

    QString Path(const QString& relative) const { return root_.filePath(relative); }
    QString RuntimeDir() const { return Path("run"); }
    QString LockPath() const { return RuntimeDir() + "/wendelsaver.lock"; }
    QString Endpoint() const { return RuntimeDir() + "/trivox.sock"; }
    QProcessEnvironment Environment() const;

    Process& Start(const QStringList& command, const QProcessEnvironment& env);
    Process& StartBoard(const QByteArray& settings = kBoardSettings, std::optional<QProcessEnvironment> env = {});
    Process& StartJukebox(const QByteArray& playlist, const QString& program = PLX_SIM_BIN);
    bool StartWindowManager();
    QString Cover(std::uint32_t colour);
    int BoardPixels(const QRect& part, std::uint32_t colour);
    bool CoverShows(std::uint32_t colour) { return BoardPixels(kCoverMiddle, colour) == 40 * 40; }

    std::optional<QByteArray> RunX(const QStringList& command) const;
    std::vector<WindowId> VisibleWindows(const QString& title) const;
    std::optional<WindowId> WaitForWindow(const QString& title, Millis timeout = AppearLimit()) const;
    std::optional<QRect> Geometry(WindowId window) const;
    // Qt ignores synthetic key events: a real one goes to the focused window.
    bool Press(WindowId window, const QString& key) const;
    // Top-level windows mapped since the start but the first `skip`: Mapped().size() marks "from now on".
    std::vector<WindowId> Mapped(std::size_t skip = 0);
    WindowId CreateWindow(const QRect& area);
    // Moves the pointer there and waits until the cursor shows or hides as `shown` says.
    bool CursorShownAt(const QPoint& point, bool shown);
    QImage Screen() const;

    QSize screenSize{1024, 768};
    QString iniPath = Path("settings/wendelsaver.ini");
    std::optional<WindowId> board;
    QRect boardAt;
};

} // namespace wendel::e2e
