#include "X11ScreenSaver.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

namespace wendel {

void ResetX11ScreenSaver()
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return;
    xcb_force_screen_saver(x11->connection(), XCB_SCREEN_SAVER_RESET);
    xcb_flush(x11->connection());
}

} // namespace wendel
