#pragma once

#include "QtDesktop.h"
#include "QtPictureLoader.h"
#include "QtSaverPorts.h"
#include "SaverWindow.h"
#include "app/WendelSaverMain.h"
#include "desktop/SaverDesktop.h"

#include <memory>
#include <string>

namespace wendel {

class MessageBoxes;
class ProcessControl;

// A running saver: the board, its timers, cursor, link and picture loader,
// the windows it stands in on the desktop, and the behaviour wired to them.
class SaverSession final {
public:
    // `foreignWindow`: a window of another program to draw into (0: none).
    SaverSession(MessageBoxes& boxes, ProcessControl& process, std::string settingsPath,
                 std::unique_ptr<Link> link = std::make_unique<SilentLink>(), WId foreignWindow = 0);
    ~SaverSession();

    // Form_Load, then the board shown: inside the primary backdrop, on its
    // own centred on the primary screen, or inside the foreign window.
    void Open();
    // The process is about to end: the keyboard goes back.
    void End();

    SaverWindow& Window() { return window_; }
    WendelSaverMain& Saver() { return *saver_; }
    QtCursor& CursorPort() { return cursor_; }
    QtTimer& ImageErrorTimer() { return imageErrorTimer_; }
    QtDesktop& Desktop() { return desktop_; }
    SaverDesktop& Arrangement() { return arrangement_; }

private:
    SaverWindow window_;
    QtTimer dTimer_;
    QtTimer playIconTimer_;
    QtTimer imageErrorTimer_;
    QtTimer grabTimer_;
    QtCursor cursor_;
    UnownedCursor unownedCursor_;
    StderrDiagnostics diagnostics_;
    QtDesktop desktop_;
    SaverDesktop arrangement_;
    std::unique_ptr<Link> link_;
    QtPictureLoader pictures_;
    std::unique_ptr<WendelSaverMain> saver_;
};

} // namespace wendel
