#pragma once

// Readable failure messages for the jukebox's field records, and the texts
// one client is owed.

#include "Audience.h"
#include "Messages.h"

#include <ostream>

namespace jukebox {

inline void PrintTo(const Track& t, std::ostream* out) { *out << PlayingMessage(t); }
inline void PrintTo(const Entry& e, std::ostream* out) { *out << ItemMessage(0, e); }

using Texts = std::vector<std::string>;

inline Texts For(int client, const Outbox& out)
{
    Texts texts;
    for (const Outgoing& o : out)
        if (o.client == client) texts.push_back(o.message);
    return texts;
}

} // namespace jukebox
