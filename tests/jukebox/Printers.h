#pragma once

// Readable failure messages for the jukebox's field records.

#include "Messages.h"

#include <ostream>

namespace jukebox {

inline void PrintTo(const Track& t, std::ostream* out) { *out << PlayingMessage(t); }
inline void PrintTo(const Entry& e, std::ostream* out) { *out << ItemMessage(0, e); }

} // namespace jukebox
