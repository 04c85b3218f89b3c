#pragma once

// Readable failure messages for the jukebox's field records; the texts one
// client is owed; the saver's handshake with a jukebox in this process.

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

// What the client is told at once.
template <class Jukebox>
Texts Handshake(Jukebox& jukebox, int client = 1)
{
    jukebox.Connect(client);
    jukebox.Open(client, kMessageDevice, "type=devrx");
    const Texts told = For(client, jukebox.Command(client, kCommandDevice, "notify_playing_item[on]"));
    jukebox.Command(client, kCommandDevice, "notify_playing_timecode[on]");
    return told;
}

} // namespace jukebox
