// The baseline: the smallest Qt Widgets program that shows a window with a
// line of text, measured the same way as the board.
//
//   minimal_window first-paint   prints ms from exec to the first paint and
//                                the peak RSS then, and ends
//   minimal_window tick          changes the text once a second until killed
//   minimal_window caption N     N caption changes, each repainted at once;
//                                prints the median ms

#include "BenchClock.h"
#include "FirstPaint.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const char* mode = argc > 1 ? argv[1] : "";
    QLabel window(QStringLiteral("0:00 / 3:12"));
    window.resize(640, 480);

    if (std::strcmp(mode, "first-paint") == 0) {
        bench::FirstPaintReporter filter([&window](QObject* watched) { return watched == &window; });
        app.installEventFilter(&filter);
        window.show();
        return app.exec();
    }
    if (std::strcmp(mode, "tick") == 0) {
        int seconds = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            ++seconds;
            window.setText(QStringLiteral("%1:%2 / 3:12").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0')));
        });
        timer.start(1000);
        window.show();
        return app.exec();
    }
    if (std::strcmp(mode, "caption") == 0 && argc > 2) {
        const int runs = std::max(1, std::atoi(argv[2]));
        window.show();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 300) QApplication::processEvents();
        std::vector<double> ms;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer clock;
            clock.start();
            window.setText(QStringLiteral("Track %1").arg(run));
            window.repaint(); // synchronous: on screen when it returns
            ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            QApplication::processEvents();
        }
        std::sort(ms.begin(), ms.end());
        std::printf("latency_ms %.3f\n", ms[ms.size() / 2]);
        return 0;
    }
    std::fprintf(stderr, "usage: minimal_window first-paint | tick | caption N\n");
    return 2;
}
