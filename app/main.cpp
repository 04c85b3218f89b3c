#include "DesktopPlatform.h"
#include "StandardStreams.h"
#include "app/Startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    wendel::KeepStandardStreamsOpen();
    QApplication app(argc, argv);
    wendel::DesktopPlatform platform;
    if (!wendel::RunStartup(platform.CommandLine(), platform, platform.Boxes())) return 0;
    return app.exec();
}
