#include "DesktopPlatform.h"
#include "TerminationSignals.h"
#include "app/Startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Before QApplication starts its threads, so the signals reach only the event loop.
    wendel::BlockTerminationSignals();
    QApplication app(argc, argv);
    wendel::DesktopPlatform platform;
    if (!wendel::RunStartup(platform.CommandLine(), platform, platform.Boxes())) return 0;
    return app.exec();
}
