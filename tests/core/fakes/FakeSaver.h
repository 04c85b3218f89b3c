#pragma once

#include "app/WendelSaverMain.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeProcess.h"
#include "fakes/FakeSaverPorts.h"

#include <string>
#include <utility>

namespace wendel::testing {

// A saver window over fakes. The settings path names no file unless a test
// writes one; FormLoad then shows the missing-file box and takes the defaults.
struct FakeSaver {
    explicit FakeSaver(std::string settingsPath = "/nonexistent/wendelsaver.ini")
        : saver(SaverPorts{board, dTimer, playIconTimer, imageErrorTimer, cursor, link, pictures, boxes, process},
                std::move(settingsPath))
    {
    }

    FakeBoard board;
    FakeTimer dTimer, playIconTimer, imageErrorTimer;
    FakeCursor cursor;
    FakeLink link;
    FakePictureLoader pictures;
    FakeMessageBoxes boxes;
    FakeProcess process;
    WendelSaverMain saver;
};

} // namespace wendel::testing
