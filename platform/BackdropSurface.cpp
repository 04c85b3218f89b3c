#include "BackdropSurface.h"

#include "X11Windows.h"

#include <QBackingStore>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlatformSurfaceEvent>
#include <QScreen>

#include <utility>

namespace wendel {

BackdropSurface::BackdropSurface(QScreen* screen, std::function<void()> onMouseDown,
                                 std::function<void()> onKeyDown)
    : QWindow(screen), onMouseDown_(std::move(onMouseDown)), onKeyDown_(std::move(onKeyDown))
{
    setObjectName(QStringLiteral("WendelSaverBackground"));
    setTitle(QStringLiteral("Form1"));
    setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setSurfaceType(QSurface::RasterSurface);
    // A surface with no buffer is never shown on Wayland: paint it there.
    if (!x11::Available()) backingStore_ = std::make_unique<QBackingStore>(this);
    create();
}

bool BackdropSurface::event(QEvent* event)
{
    // Qt makes the native window anew when its screen goes away; the new one
    // needs the same background and states.
    if (event->type() == QEvent::PlatformSurface &&
        static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
            QPlatformSurfaceEvent::SurfaceCreated) {
        MarkForTheWindowSystem();
    }
    return QWindow::event(event);
}

void BackdropSurface::MarkForTheWindowSystem()
{
    if (!x11::Available()) return;
    x11::SetBlackBackground(winId());
    states_.Mark(winId(), true);
}

BackdropSurface::~BackdropSurface() = default;

void BackdropSurface::ShowOver(const QRect& area)
{
    setGeometry(area);
    if (!x11::Available()) {
        showFullScreen();
        return;
    }
    // Full screen already by the window's own states (MarkForTheWindowSystem):
    // asking Qt as well would wait twice on the server before the first paint.
    // Shown and activated as showFullScreen does.
    show();
    requestActivate();
}

void BackdropSurface::exposeEvent(QExposeEvent*)
{
    if (backingStore_ && isExposed()) PaintBlack();
}

void BackdropSurface::PaintBlack()
{
    const QRect area(QPoint(0, 0), size());
    backingStore_->resize(size());
    backingStore_->beginPaint(area);
    {
        QPainter painter(backingStore_->paintDevice());
        painter.fillRect(area, Qt::black);
    }
    backingStore_->endPaint();
    backingStore_->flush(area);
}

void BackdropSurface::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (onMouseDown_) onMouseDown_();
}

void BackdropSurface::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void BackdropSurface::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    if (onKeyDown_) onKeyDown_();
}

} // namespace wendel
