#include "DesktopPlatform.h"
#include "TerminationSignals.h"
#include "StandardStreams.h"
#include "app/Startup.h"

#include <QApplication>

#include <string>

int main(int argc, char* argv[])
{
    wendel::KeepStandardStreamsOpen();
    // Before QApplication starts its threads, so the signals reach only the event loop.
    wendel::BlockTerminationSignals();
    // Read before QApplication takes its own options (-reverse, -style ...)
    // out of argv: the switch is the first argument as the user gave it.
    const std::string commandLine = wendel::JoinArguments(argc, argv);
    QApplication app(argc, argv);
    wendel::DesktopPlatform platform;
    if (!wendel::RunStartup(commandLine, platform, platform.Boxes())) return 0;
    return app.exec();
}
