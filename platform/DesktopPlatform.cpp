#include "DesktopPlatform.h"

#include "Paths.h"
#include "SaverSession.h"
#include "SetupWindow.h"
#include "Trivox.h"
#include "X11Windows.h"
#include "desktop/SaverDesktop.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

#include <cstdio>
#include <optional>
#include <thread>

namespace wendel {

namespace {

void CentreOnPrimaryScreen(QWidget& window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

// xscreensaver names the window its hacks draw into; only X11 has one.
WId ForeignWindowFromEnvironment()
{
    const QByteArray text = qgetenv("XSCREENSAVER_WINDOW");
    if (text.isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb")) return 0;
    if (const std::optional<unsigned long> id = ParseWindowId(text.toStdString())) return *id;
    std::fprintf(stderr, "wendelsaver: XSCREENSAVER_WINDOW=%s is not a window id; using our own windows\n",
                 text.constData());
    return 0;
}

} // namespace

DesktopPlatform::DesktopPlatform()
    : lock_(InstanceLockPath()),
      process_([this] {
          if (saver_) saver_->End();
          lock_.unlock();
      }),
      signals_([this] {
          if (saver_) {
              saver_->Saver().EndSaver();
          } else {
              process_.Exit(0);
          }
      })
{
}

DesktopPlatform::~DesktopPlatform() = default;

bool DesktopPlatform::AnotherInstanceRunning()
{
    if (lock_.tryLock(0)) return false;
    // Only a live holder counts; a lock we cannot even create must not keep
    // the user's saver from starting.
    return lock_.error() == QLockFile::LockFailedError;
}

bool DesktopPlatform::OpenSetupDialog()
{
    PrepareSettingsFolder();
    setupWindow_ = std::make_unique<SetupWindow>(boxes_, clock_, process_, SettingsFilePathNative());
    setupWindow_->Load();
    CentreOnPrimaryScreen(*setupWindow_);
    setupWindow_->show();
    return true;
}

bool DesktopPlatform::OpenSaver()
{
    // Reading the installed fonts is the longest step before the first
    // paint and needs no window: a second thread reads them while this one
    // makes the windows, until the board first measures or shows a caption.
    // Joined on the way out.
    const std::jthread fonts([] { QFontDatabase::families(); });
    // The jukebox is called once the board is on screen: its first words
    // would otherwise hold up the first paint.
    auto link = std::make_unique<Trivox>(TrivoxEndpoint(), nullptr, Trivox::FirstAttempt::Later);
    Trivox& trivox = *link;
    saver_ = std::make_unique<SaverSession>(boxes_, process_, SettingsFilePathNative(), std::move(link),
                                           ForeignWindowFromEnvironment());
    saver_->Window().onFirstPainted = [&trivox] { trivox.Start(); };
    x11::ResetScreenSaver();
    saver_->Open();
    return true;
}

} // namespace wendel
