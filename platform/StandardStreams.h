#pragma once

namespace wendel {

// Launchers such as xautolock start the saver with standard output and error
// closed. The next files opened would take those numbers, and a message
// written to standard error would land in one of them: in the connection to
// the X server, say, which would then drop the saver. Opening /dev/null on
// any closed one, before anything else is opened, keeps such messages
// harmless.
void KeepStandardStreamsOpen();

} // namespace wendel
