#pragma once

#include "Harness.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace wendel::e2e {

inline const QString kBoardTitle = QStringLiteral("WendelSaver");
inline const QString kBackdropTitle = QStringLiteral("Form1");
inline const QString kSetupTitle = QStringLiteral("WendelSaver Screensaver Setup");
inline const QString kSettingsBoxTitle = QStringLiteral("WendelSaver");

// Places on the board, in pixels from its top-left corner, and their colours.
// A square cover is fitted to 320 x 320 at (160, 114); the waiting text lies
// over the cover area, in front of it.
inline const QRect kCoverMiddle(300, 254, 40, 40);
inline const QRect kWaitingLabel(154, 192, 343, 103);
inline const QRect kTrackLabel(34, 28, 306, 26);
inline const QRect kTimeLabel(420, 30, 193, 22); // grows leftwards from x = 613
inline const QRect kAlbumNotice(560, 55, 55, 19);
inline const QRect kUpNextCaption(32, 433, 62, 19);
inline const QRect kNextInfoLabel(109, 433, 400, 19);
inline constexpr std::uint32_t kOlive = 0xC0C000;
inline constexpr std::uint32_t kYellow = 0xFFFF00;
inline constexpr std::uint32_t kCyan = 0x00FFFF;
// Cover colours: none is black or one of the board's text colours.
inline constexpr std::uint32_t kRose = 0xC03060;
inline constexpr std::uint32_t kSea = 0x3060C0;
inline constexpr std::uint32_t kLeaf = 0x30C060;

// The look, overlap, background and default image lines of a settings file.
inline const QByteArray kBoardSettings = "Custom Look = 2\r\nOverlap = 1\r\nBackground = ON\r\nDefault Image =\r\n";

// Each test gets a private X server, a private 0700 runtime folder (so its
// instance lock and jukebox socket are its own) and a private settings path.
// Every process started here ends with the test, last started first, before
// the X server goes; a failed test prints their logs.
class SaverTest : public ::testing::Test {
protected:
    SaverTest();
    void SetUp() override;
    void TearDown() override;

    XServer& X() { return *x_; }
    // Set before SetUp for another screen size.
    QSize screenSize{1024, 768};

    // A path inside the test's private folder.
    QString Path(const QString& relative) const { return root_.filePath(relative); }
    QString IniPath() const { return iniPath_; }
    void SetIniPath(const QString& path) { iniPath_ = path; }
    QString RuntimeDir() const { return Path(QStringLiteral("run")); }
    QString LockPath() const { return RuntimeDir() + QStringLiteral("/wendelsaver.lock"); }
    // Where the saver looks for its jukebox by default.
    QString Endpoint() const { return RuntimeDir() + QStringLiteral("/trivox.sock"); }

    // This test's display, runtime folder and settings path, the xcb
    // platform, and nothing from the user's Qt set-up.
    QProcessEnvironment SaverEnvironment() const;
    Process& Start(const QString& program, const QStringList& args, const QProcessEnvironment& env);
    Process& Launch(const QStringList& args) { return Start(QStringLiteral(WENDELSAVER_BIN), args, SaverEnvironment()); }
    // The saver with `settings`, and its board once it is there.
    Process& StartBoard(const QByteArray& settings = kBoardSettings, std::optional<QProcessEnvironment> env = {},
                        const QString& program = QStringLiteral(WENDELSAVER_BIN));
    // plx-sim on the saver's endpoint, playing `playlist` (the file's text).
    Process& StartJukebox(const QByteArray& playlist, const QString& program = QStringLiteral(PLX_SIM_BIN));
    // A 400 x 400 cover in one colour; the board fits it to 320 x 320.
    QString Cover(std::uint32_t colour);

    // Pixels of exactly `colour` in a part of the board; -1 while it cannot be seen.
    int BoardPixels(const QRect& part, std::uint32_t colour);
    bool CoverShows(std::uint32_t colour) { return BoardPixels(kCoverMiddle, colour) == 40 * 40; }
    // Polls the board until `check` holds.
    bool BoardShows(const std::function<bool()>& check, Millis timeout = AppearLimit());

    std::optional<WindowId> board;
    QRect boardAt;

private:
    QTemporaryDir root_;
    QString iniPath_;
    std::unique_ptr<XServer> x_;
    std::vector<std::unique_ptr<Process>> processes_;
};

bool WriteFile(const QString& path, const QByteArray& bytes);
std::optional<QByteArray> ReadFile(const QString& path);
// Writes `seconds` of silence as a FLAC file with `tags` ("KEY=value"), and
// a picture embedded from `picture` when given.
bool MakeFlac(const QString& path, int seconds, const QList<QByteArray>& tags, const QString& picture = {});

} // namespace wendel::e2e
