#pragma once

#include "BenchClock.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <utility>

namespace bench {

// Installed as an application event filter: once the first paint of a window
// the predicate picks has been drawn and flushed (the zero timer runs on the
// loop's next pass, after the flush), prints the time since exec, the peak
// RSS and the private memory, and ends the program.
class FirstPaintReporter final : public QObject {
public:
    explicit FirstPaintReporter(std::function<bool(QObject*)> isWatched)
        : isWatched_(std::move(isWatched))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!seen_ && event->type() == QEvent::Paint && isWatched_(watched)) {
            seen_ = true;
            QTimer::singleShot(0, [] {
                std::printf("first_paint_ms %.3f\npeak_rss_kb %ld\nprivate_rss_kb %ld\n", MsSinceExec(),
                            PeakRssKb(), PrivateRssKb());
                std::fflush(stdout);
                // exit(), not quit(): quit asks every window to close first,
                // and a board inside its backdrop is not a window to close.
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    std::function<bool(QObject*)> isWatched_;
    bool seen_ = false;
};

} // namespace bench
