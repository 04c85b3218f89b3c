#pragma once

#include <QString>

namespace wendel {

// Where the jukebox listens and the saver's link connects: TRIVOX_ENDPOINT
// when set, else $XDG_RUNTIME_DIR/trivox.sock, else trivox-<uid>.sock in the
// temp folder (the local pipe "trivox" on Windows). Only QtCore is used, so
// the jukebox simulator shares this file.
QString TrivoxEndpoint();

// $XDG_RUNTIME_DIR/<stem>.<suffix>, else <stem>-<uid>.<suffix> in the temp
// folder, which every user shares (no uid on Windows).
QString PerUserRuntimePath(const QString& stem, const QString& suffix);

} // namespace wendel
