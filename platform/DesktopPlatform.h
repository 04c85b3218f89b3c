#pragma once

#include "QtMessageBoxes.h"
#include "QtSystem.h"
#include "TerminationSignals.h"
#include "app/Startup.h"

#include <QLockFile>

#include <memory>
#include <string>

namespace wendel {

class SaverSession;
class SetupWindow;

// The platform a desktop run hands to the core: the command line, the
// single-instance lock, message boxes, the clock, the process and the windows.
class DesktopPlatform final : public StartupHost {
public:
    DesktopPlatform();
    ~DesktopPlatform() override;

    MessageBoxes& Boxes() { return boxes_; }

    bool AnotherInstanceRunning() override;
    bool OpenSetupDialog() override;
    bool OpenSaver() override;

private:
    QLockFile lock_;
    QtMessageBoxes boxes_;
    QtClock clock_;
    QtProcessControl process_;
    // SIGTERM and SIGHUP end the program as EndSaver does.
    TerminationSignals signals_;
    std::unique_ptr<SetupWindow> setupWindow_;
    std::unique_ptr<SaverSession> saver_;
};

} // namespace wendel
