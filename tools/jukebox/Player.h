#pragma once

// What the serving layer asks of a player. A jukebox implements it (plx-sim's
// simulation, a bridge to MPD or to an MPRIS player) and reports changes
// through the Audience's event calls.

#include "Messages.h"

#include <optional>

namespace jukebox {

class Player {
public:
    virtual ~Player() = default;

    // False while the player cannot be reached: a newcomer is then told
    // nothing, so its board keeps waiting for the jukebox.
    virtual bool Present() const { return true; }
    virtual PlayState State() const = 0;
    // The track that plays or is paused; nothing when stopped.
    virtual std::optional<Track> Current() const = 0;
    // The playlist position of the playing entry.
    virtual int Pointer() const = 0;
    // The entry at a position; nothing outside the playlist. It may ask the
    // player, so it is not const.
    virtual std::optional<Entry> EntryAt(int position) = 0;
};

} // namespace jukebox
