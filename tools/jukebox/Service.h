#pragma once

// A bridge's whole serving side in one object: the savers (Audience), the
// socket (Server) and the running time (Ticker). The bridge reports what its
// player does; everything owed to each saver goes out from here.

#include "Audience.h"
#include "Server.h"
#include "Ticker.h"

#include <QObject>

#include <string>

namespace jukebox {

class Service final : public QObject {
public:
    Service(Player& player, const Log& log, bool verbose, QObject* parent = nullptr);

    bool Listen(const QString& endpoint, QString& error) { return server_.Listen(endpoint, error); }

    // The player's events.
    void StateChanged(PlayState state);
    void TrackStarted(const Track& track);
    // See Audience::Show.
    void Show(const Showing& was, const Showing& now, bool fresh);
    // The elapsed time the player reported, re-read on each of its events;
    // `announce` sends it at once even when its second was sent already.
    void Elapsed(std::int64_t elapsedMs, bool playing, bool announce) { ticker_.Set(elapsedMs, playing, announce); }

private:
    Audience audience_;
    Server server_;
    Ticker ticker_;
};

// The cover cache every bridge shares: $XDG_CACHE_HOME/wendelsaver/covers,
// by default ~/.cache/wendelsaver/covers, as a path in the file system's bytes.
std::string SharedCoverFolder();

// Ends the event loop on SIGINT and SIGTERM, so a jukebox takes its socket
// file away; a saver that vanishes mid-write (SIGPIPE) is no reason to end.
// False when the signals cannot be routed.
bool QuitOnSignals();

} // namespace jukebox
