#include "QtSystem.h"

#include <QDateTime>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace wendel {

LocalDateTime QtClock::Now() const
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

QtProcessControl::QtProcessControl(std::function<void()> beforeExit)
    : beforeExit_(std::move(beforeExit))
{
}

void QtProcessControl::Exit(int status)
{
    if (beforeExit_) beforeExit_();
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace wendel
