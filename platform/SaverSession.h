#pragma once

#include "QtPictureLoader.h"
#include "QtSaverPorts.h"
#include "SaverWindow.h"
#include "app/WendelSaverMain.h"

#include <memory>
#include <string>

namespace wendel {

class MessageBoxes;
class ProcessControl;

// A running saver: the board, its timers, cursor, link and picture loader,
// and the behaviour wired to them.
class SaverSession final {
public:
    SaverSession(MessageBoxes& boxes, ProcessControl& process, std::string settingsPath,
                 std::unique_ptr<Link> link = std::make_unique<SilentLink>());
    ~SaverSession();

    // Form_Load, then the window centred on the primary screen and shown
    // above the backdrop.
    void Open();

    SaverWindow& Window() { return window_; }
    WendelSaverMain& Saver() { return *saver_; }
    QtCursor& CursorPort() { return cursor_; }
    QtTimer& ImageErrorTimer() { return imageErrorTimer_; }

private:
    SaverWindow window_;
    QtTimer dTimer_;
    QtTimer playIconTimer_;
    QtTimer imageErrorTimer_;
    QtCursor cursor_;
    std::unique_ptr<Link> link_;
    QtPictureLoader pictures_;
    std::unique_ptr<WendelSaverMain> saver_;
};

} // namespace wendel
