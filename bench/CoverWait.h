#pragma once

#include "app/WendelSaverMain.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace bench {

// Runs the event loop until the cover decode that the saver started, off the
// GUI thread, has reported; the cover is then in its box.
inline void WaitForCoverDecode(const wendel::WendelSaverMain& saver)
{
    while (saver.CoverDecoding) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace bench
