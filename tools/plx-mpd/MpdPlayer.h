#pragma once

// MPD as a jukebox player: it follows MPD through `idle` (no polling), tells
// the Service what changes, and answers the savers' questions from MPD's
// queue. MPD may come and go at any time; the bridge never ends because of it.

#include "CoverCache.h"
#include "Mapping.h"
#include "Player.h"
#include "Server.h"
#include "Service.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

struct mpd_connection;
struct mpd_song;
class QSocketNotifier;

namespace plxmpd {

struct MpdOptions {
    std::string host; // empty: MPD_HOST, else libmpdclient's default
    unsigned port = 0; // 0: MPD_PORT, else 6600
    bool albums = false;
};

class MpdPlayer final : public QObject, public jukebox::Player {
public:
    MpdPlayer(MpdOptions options, jukebox::CoverCache& covers, const jukebox::Log& log);
    ~MpdPlayer() override;

    // Starts following MPD; reports go to `service`.
    void Start(jukebox::Service& service);

    bool Present() const override { return connection_ != nullptr; }
    jukebox::PlayState State() const override { return state_; }
    std::optional<jukebox::Track> Current() const override;
    int Pointer() const override;
    std::optional<jukebox::Entry> EntryAt(int position) override;

private:
    struct ConnectionFree {
        void operator()(mpd_connection* connection) const;
    };

    bool Open(std::string& why);
    void Connect();
    bool Reopen();
    void Idle();
    void Woken();
    bool LeaveIdle();
    // Reads MPD's state and reports what changed. `announce`: the player
    // changed (a seek too), so the time goes out at once; `fresh`: the
    // first read after connecting.
    void Resync(bool announce, bool fresh);
    void Announce(jukebox::PlayState was, bool songChanged, bool fresh);
    bool RebuildRuns();
    bool ListQueue(bool runTagsOnly);
    // A song read by `query`, falling back to the song without tags when a
    // tag is too long for libmpdclient.
    std::optional<Song> ReadSong(const std::function<mpd_song*(mpd_connection*)>& query);
    std::string CoverFor(const Song& song);
    std::optional<std::string> Fetch(bool embedded, const std::string& uri);
    std::optional<Song> SongAt(int queueIndex);
    // Handles a failed MPD call: a refusal by MPD is cleared and the
    // connection kept; a broken connection is dropped after this turn.
    bool Failed();
    void Lost(std::string why = {});

    MpdOptions options_;
    jukebox::CoverCache& covers_;
    const jukebox::Log& log_;
    jukebox::Service* service_ = nullptr;

    std::unique_ptr<mpd_connection, ConnectionFree> connection_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer retry_;
    bool idling_ = false;
    bool lostPending_ = false;
    bool resyncPending_ = false;
    bool complainedAbsent_ = false;
    std::string address_;

    jukebox::PlayState state_ = jukebox::PlayState::Stopped;
    int songId_ = -1;
    int songPos_ = -1;
    unsigned queueVersion_ = 0;
    int queueLength_ = 0;
    std::optional<jukebox::Track> track_;
    AlbumRuns runs_;
    std::set<std::string> noPicture_; // keys MPD had no usable picture for
};

Song SongFrom(const mpd_song* song);

} // namespace plxmpd
