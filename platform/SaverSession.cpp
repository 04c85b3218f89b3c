#include "SaverSession.h"

#include "display/BoardLayout.h"
#include "display/Twips.h"

#include <utility>

namespace wendel {

SaverSession::SaverSession(MessageBoxes& boxes, ProcessControl& process, std::string settingsPath,
                           std::unique_ptr<Link> link, WId foreignWindow)
    : dTimer_("DTimer", [this] { saver_->DTimerTick(); }),
      playIconTimer_("PlayIconTimer", [this] { saver_->PlayIconTimerTick(); }),
      imageErrorTimer_("ImageErrorTimer", [this] { saver_->ImageErrorTimerTick(); }),
      grabTimer_("GrabTimer", [this] { arrangement_.GrabTimerTick(); }),
      desktop_(window_, foreignWindow),
      arrangement_(DesktopPorts{desktop_, grabTimer_, diagnostics_},
                   TwipsToPixels(board_layout::kClientWidth), TwipsToPixels(board_layout::kClientHeight)),
      link_(std::move(link))
{
    // Inside another program's window, the cursor is that program's.
    Cursor& cursor = arrangement_.Hosted() ? static_cast<Cursor&>(unownedCursor_) : cursor_;
    saver_ = std::make_unique<WendelSaverMain>(
        SaverPorts{window_, dTimer_, playIconTimer_, imageErrorTimer_, cursor, *link_, pictures_,
                   boxes, process},
        std::move(settingsPath));
    window_.onMouseDown = [this] { saver_->FormMouseDown(); };
    window_.onKeyDown = [this] { saver_->FormKeyDown(); };
    window_.onShowBackdrop = [this] { arrangement_.ShowBackdrops(); };
    desktop_.onMouseDown = window_.onMouseDown;
    desktop_.onKeyDown = window_.onKeyDown;
    desktop_.onScreensChanged = [this] { arrangement_.ScreensChanged(); };
    desktop_.onKeyboardMaybeLost = [this] { arrangement_.KeyboardMayBeLost(); };
    window_.onCoverDecoded = [this](int code) { saver_->CoverDecoded(code); };
}

SaverSession::~SaverSession() = default;

void SaverSession::Open()
{
    saver_->FormLoad();
    arrangement_.ShowBoard();
}

void SaverSession::End()
{
    arrangement_.End();
}

} // namespace wendel
