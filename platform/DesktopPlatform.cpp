#include "DesktopPlatform.h"

#include "Paths.h"
#include "SaverSession.h"
#include "SetupWindow.h"
#include "Trivox.h"
#include "X11ScreenSaver.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

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

} // namespace

DesktopPlatform::DesktopPlatform()
    : lock_(InstanceLockPath()), process_([this] { lock_.unlock(); })
{
}

DesktopPlatform::~DesktopPlatform() = default;

std::string DesktopPlatform::CommandLine() const
{
    return QCoreApplication::arguments().mid(1).join(QLatin1Char(' ')).toStdString();
}

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
    saver_ = std::make_unique<SaverSession>(boxes_, process_, SettingsFilePathNative(),
                                           std::make_unique<Trivox>());
    ResetX11ScreenSaver();
    saver_->Open();
    return true;
}

} // namespace wendel
