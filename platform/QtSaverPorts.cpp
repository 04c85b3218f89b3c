#include "QtSaverPorts.h"

#include <QCursor>
#include <QGuiApplication>

#include <utility>

namespace wendel {

QtTimer::QtTimer(const char* name, std::function<void()> onTick)
{
    timer_.setObjectName(QString::fromLatin1(name));
    QObject::connect(&timer_, &QTimer::timeout, [tick = std::move(onTick)] {
        if (tick) tick();
    });
}

void QtTimer::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    Update();
}

void QtTimer::SetInterval(int milliseconds)
{
    interval_ = milliseconds;
    Update();
}

void QtTimer::Update()
{
    if (enabled_ && interval_ > 0) {
        timer_.start(interval_);
    } else {
        timer_.stop();
    }
}

void QtCursor::Show(bool visible)
{
    const bool wasShown = count_ >= 0;
    count_ += visible ? 1 : -1;
    const bool shown = count_ >= 0;
    if (wasShown && !shown) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    } else if (!wasShown && shown) {
        QGuiApplication::restoreOverrideCursor();
    }
    // The process may end right after showing it; the display must see it
    // first. Hiding needs no wait: the next flush carries it, before the
    // board's first paint.
    if (!wasShown && shown) QGuiApplication::sync();
}

} // namespace wendel
