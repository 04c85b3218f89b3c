#pragma once

#include "SaverProcess.h"
#include "Waiting.h"
#include "XServer.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <vector>

// Lets failure messages and gtest's value printer take QString as it is.
inline std::ostream& operator<<(std::ostream& out, const QString& text)
{
    return out << text.toStdString();
}

namespace wendel::e2e {

inline const QString kSetupTitle = QStringLiteral("WendelSaver Screensaver Setup");
// The settings file's boxes, for a file that cannot be read or written.
inline const QString kSettingsBoxTitle = QStringLiteral("WendelSaver");
inline const QString kPasswordBoxTitle = QStringLiteral("WendelServer Screensaver");
inline const QString kInvalidEntryTitle = QStringLiteral("Invalid Entry");
inline const QString kCancelBoxTitle = QStringLiteral("Cancel Changes");

// Longest time a window may take to appear; it usually takes a tenth of a second.
inline Millis AppearLimit() { return Patience(Millis(5000)); }
// "Ends at once" and "ends when its last window closes".
inline Millis PromptExitLimit() { return Patience(Millis(2000)); }

// Each test gets a private X server, a private 0700 runtime folder (so its
// instance lock is its own) and a settings file path in a private folder, all
// removed afterwards. Everything started here is killed when the test ends,
// passed or failed, before its X server goes.
class SaverTest : public ::testing::Test {
protected:
    SaverTest();
    ~SaverTest() override;

    void SetUp() override;
    void TearDown() override;

    XServer& X() { return *x_; }
    // Set before SetUp to get another screen size or a framebuffer file.
    XServerOptions serverOptions;

    // A path inside the test's private folder.
    QString Path(const QString& relative) const;
    QString IniPath() const { return iniPath_; }
    void SetIniPath(const QString& path) { iniPath_ = path; }
    QString RuntimeDir() const { return runtimeDir_; }
    void SetRuntimeDir(const QString& path) { runtimeDir_ = path; }
    QString LockPath() const { return runtimeDir_ + QStringLiteral("/wendelsaver.lock"); }

    // The program's environment: this test's display, runtime folder and
    // settings path, the xcb platform, and nothing from the user's Qt set-up
    // that could change sizes or look.
    QProcessEnvironment SaverEnvironment() const;
    SaverProcess& Launch(const QStringList& args);
    SaverProcess& Launch(const QStringList& args, const QProcessEnvironment& env);
    // The same with another copy of the program, such as an installed one.
    SaverProcess& LaunchProgram(const QString& program, const QStringList& args);
    SaverProcess& LaunchProgram(const QString& program, const QStringList& args, const QProcessEnvironment& env);

    // Waits for the window, then presses Return in it; the window's id, or
    // nothing when it never appeared or the key could not be sent.
    std::optional<WindowId> PressReturnIn(const QString& title);

    // Top-level windows mapped after the first `skip` events of the server,
    // in the order they were mapped. EventMark() gives `skip` for "from now on".
    std::vector<WindowId> MappedWindows(std::size_t skip = 0);
    std::size_t EventMark() { return X().Connection().TopLevelEvents().size(); }
    // Ids with their titles where the windows still exist, for messages.
    QString Describe(const std::vector<WindowId>& windows);

    // True when exactly `windows` were mapped (after `skip` events), in this order.
    ::testing::AssertionResult MappedInOrder(const std::vector<WindowId>& windows,
                                             std::size_t skip = 0);
    // True when `earlier` was unmapped or destroyed before `later` was mapped.
    ::testing::AssertionResult GoneBeforeMapped(WindowId earlier, WindowId later,
                                                std::size_t skip = 0);
    // MappedInOrder, and each one was gone before the next was mapped.
    ::testing::AssertionResult ShownOneAfterAnother(const std::vector<WindowId>& windows,
                                                    std::size_t skip = 0);

private:
    QTemporaryDir root_;
    QString runtimeDir_;
    QString iniPath_;
    std::unique_ptr<XServer> x_;
    std::vector<std::unique_ptr<SaverProcess>> processes_;
};

// File helpers.
bool WriteFile(const QString& path, const QByteArray& bytes);
std::optional<QByteArray> ReadFile(const QString& path);
// Names in a folder, sorted; for checking that nothing was left beside a file.
QStringList FolderEntries(const QString& folder);

// True when `file` is exactly six CRLF-ended lines: the stamp line, then
// `settingsLines` (the look, overlap, background and default image lines),
// then the closing remark.
::testing::AssertionResult IsSettingsFile(const std::optional<QByteArray>& file,
                                          const std::vector<QByteArray>& settingsLines);

} // namespace wendel::e2e
