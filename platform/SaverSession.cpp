#include "SaverSession.h"

#include <QGuiApplication>
#include <QScreen>

#include <utility>

namespace wendel {

SaverSession::SaverSession(MessageBoxes& boxes, ProcessControl& process, std::string settingsPath,
                           std::unique_ptr<Link> link)
    : dTimer_("DTimer", [this] { saver_->DTimerTick(); }),
      playIconTimer_("PlayIconTimer", [this] { saver_->PlayIconTimerTick(); }),
      imageErrorTimer_("ImageErrorTimer", [this] { saver_->ImageErrorTimerTick(); }),
      link_(std::move(link))
{
    saver_ = std::make_unique<WendelSaverMain>(
        SaverPorts{window_, dTimer_, playIconTimer_, imageErrorTimer_, cursor_, *link_, pictures_,
                   boxes, process},
        std::move(settingsPath));
    window_.onMouseDown = [this] { saver_->FormMouseDown(); };
    window_.onKeyDown = [this] { saver_->FormKeyDown(); };
    window_.onCoverDecoded = [this](int code) { saver_->CoverDecoded(code); };
}

SaverSession::~SaverSession() = default;

void SaverSession::Open()
{
    saver_->FormLoad();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window_.frameGeometry();
        frame.moveCenter(screen->geometry().center());
        window_.move(frame.topLeft());
    }
    // Shown after the backdrop, so it lies above it.
    window_.show();
    window_.raise();
    window_.activateWindow();
}

} // namespace wendel
