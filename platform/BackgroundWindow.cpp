#include "BackgroundWindow.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QScreen>

#include <utility>

namespace wendel {

BackgroundWindow::BackgroundWindow(QScreen* screen, std::function<void()> onMouseDown,
                                   std::function<void()> onKeyDown)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint),
      onMouseDown_(std::move(onMouseDown)),
      onKeyDown_(std::move(onKeyDown))
{
    setObjectName(QStringLiteral("WendelSaverBackground"));
    setWindowTitle(QStringLiteral("Form1"));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (screen) {
        setScreen(screen);
        setGeometry(screen->geometry());
    }
}

void BackgroundWindow::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (onMouseDown_) onMouseDown_();
}

void BackgroundWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void BackgroundWindow::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    if (onKeyDown_) onKeyDown_();
}

} // namespace wendel
