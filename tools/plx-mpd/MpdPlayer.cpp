#include "MpdPlayer.h"

#include <QSocketNotifier>

#include <mpd/client.h>

#include <functional>
#include <vector>

namespace plxmpd {

using jukebox::PlayState;

namespace {

constexpr unsigned kTimeoutMs = 5000;
constexpr int kRetryMs = 1000;
// Bigger chunks fetch a cover in fewer round trips.
constexpr unsigned kBinaryChunk = 1024 * 1024;
constexpr std::size_t kMaxRemembered = 4096;

std::string Tag(const mpd_song* song, mpd_tag_type type)
{
    const char* value = mpd_song_get_tag(song, type, 0);
    return value ? ClipTag(value) : std::string();
}

PlayState StateOf(mpd_state state)
{
    switch (state) {
    case MPD_STATE_PLAY: return PlayState::Playing;
    case MPD_STATE_PAUSE: return PlayState::Paused;
    default: return PlayState::Stopped;
    }
}

} // namespace

Song SongFrom(const mpd_song* song)
{
    Song s;
    s.uri = ClipTag(mpd_song_get_uri(song));
    s.album = Tag(song, MPD_TAG_ALBUM);
    s.albumArtist = Tag(song, MPD_TAG_ALBUM_ARTIST);
    s.artist = Tag(song, MPD_TAG_ARTIST);
    s.title = Tag(song, MPD_TAG_TITLE);
    s.track = Tag(song, MPD_TAG_TRACK);
    const unsigned ms = mpd_song_get_duration_ms(song);
    if (ms > 0) s.seconds = static_cast<int>((ms + 500) / 1000);
    return s;
}

void MpdPlayer::ConnectionFree::operator()(mpd_connection* connection) const { mpd_connection_free(connection); }

MpdPlayer::MpdPlayer(MpdOptions options, jukebox::CoverCache& covers, const jukebox::Log& log)
    : options_(std::move(options)), covers_(covers), log_(log)
{
    setObjectName(QStringLiteral("mpdPlayer"));
    retry_.setObjectName(QStringLiteral("mpdRetry"));
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, [this] { Connect(); });
}

MpdPlayer::~MpdPlayer() = default;

void MpdPlayer::Start(jukebox::Service& service)
{
    service_ = &service;
    Connect();
}

bool MpdPlayer::Open(std::string& why)
{
    const HostOption host = SplitHostOption(options_.host);
    mpd_settings* settings = mpd_settings_new(host.host.empty() ? nullptr : host.host.c_str(), options_.port,
                                              kTimeoutMs, nullptr, host.password.empty() ? nullptr : host.password.c_str());
    if (!settings) {
        why = "out of memory";
        return false;
    }
    const char* settingsHost = mpd_settings_get_host(settings);
    address_ = settingsHost ? settingsHost : "(default)";
    if (settingsHost && settingsHost[0] != '/' && settingsHost[0] != '@')
        address_ += ":" + std::to_string(mpd_settings_get_port(settings));
    const std::string password = mpd_settings_get_password(settings) ? mpd_settings_get_password(settings) : "";
    connection_.reset(mpd_connection_new(settingsHost, mpd_settings_get_port(settings), kTimeoutMs));
    mpd_settings_free(settings);

    if (!connection_) {
        why = "out of memory";
    } else if (mpd_connection_get_error(connection_.get()) != MPD_ERROR_SUCCESS) {
        why = mpd_connection_get_error_message(connection_.get());
    } else if (!password.empty() && !mpd_run_password(connection_.get(), password.c_str())) {
        why = std::string("password refused: ") + mpd_connection_get_error_message(connection_.get());
    } else if (!mpd_run_binarylimit(connection_.get(), kBinaryChunk) &&
               !mpd_connection_clear_error(connection_.get())) { // an older MPD refuses it: fine
        why = mpd_connection_get_error_message(connection_.get());
    } else {
        return true;
    }
    connection_.reset();
    return false;
}

void MpdPlayer::Connect()
{
    std::string why;
    if (!Open(why)) {
        if (!complainedAbsent_) log_.Line("MPD is not reachable at " + address_ + ": " + why + "; retrying every second");
        complainedAbsent_ = true;
        retry_.start(kRetryMs);
        return;
    }
    complainedAbsent_ = false;
    log_.Line("connected to MPD at " + address_);
    queueVersion_ = 0; // read the whole queue again
    noPicture_.clear();
    Resync(true, true);
    if (connection_) Idle();
}

bool MpdPlayer::Reopen()
{
    // libmpdclient gives up on a reply line longer than its buffer (a tag of
    // 100 KiB), and that connection is spent. A fresh one carries on quietly.
    notifier_.reset();
    idling_ = false;
    std::string why;
    if (Open(why)) return true;
    Lost(why);
    return false;
}

void MpdPlayer::Idle()
{
    if (!mpd_send_idle_mask(connection_.get(),
                            static_cast<mpd_idle>(MPD_IDLE_PLAYER | MPD_IDLE_QUEUE | MPD_IDLE_OPTIONS))) {
        Lost();
        return;
    }
    idling_ = true;
    if (!notifier_) {
        notifier_ = std::make_unique<QSocketNotifier>(mpd_connection_get_fd(connection_.get()), QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Woken(); });
    }
    notifier_->setEnabled(true);
}

void MpdPlayer::Woken()
{
    notifier_->setEnabled(false);
    idling_ = false;
    const mpd_idle events = mpd_recv_idle(connection_.get(), false);
    if (events == 0 && mpd_connection_get_error(connection_.get()) != MPD_ERROR_SUCCESS) {
        Lost();
        return;
    }
    Resync((events & MPD_IDLE_PLAYER) != 0, false);
    if (connection_) Idle();
}

bool MpdPlayer::LeaveIdle()
{
    if (!connection_ || lostPending_) return false;
    if (!idling_) return true;
    notifier_->setEnabled(false);
    idling_ = false;
    const mpd_idle events = mpd_run_noidle(connection_.get());
    if (events == 0 && mpd_connection_get_error(connection_.get()) != MPD_ERROR_SUCCESS) return Failed();
    if (events != 0 && !resyncPending_) {
        // Something changed while we were asking: catch up once the answer is out.
        resyncPending_ = true;
        QTimer::singleShot(0, this, [this, player = (events & MPD_IDLE_PLAYER) != 0] {
            resyncPending_ = false;
            if (!LeaveIdle()) return;
            Resync(player, false);
            if (connection_) Idle();
        });
    }
    return true;
}

bool MpdPlayer::Failed()
{
    if (mpd_connection_clear_error(connection_.get())) return true; // MPD said no; the connection holds
    if (!lostPending_) {
        lostPending_ = true;
        // Not while a saver's question is being answered: dropping reports to every saver.
        QTimer::singleShot(0, this, [this] { Lost(); });
    }
    return false;
}

void MpdPlayer::Lost(std::string why)
{
    lostPending_ = false;
    if (connection_ && why.empty()) why = mpd_connection_get_error_message(connection_.get());
    if (!connection_ && why.empty()) return; // dropped already
    notifier_.reset();
    connection_.reset();
    idling_ = false;
    resyncPending_ = false;
    log_.Line("lost MPD at " + address_ + ": " + why + "; retrying every second");
    const bool wasStopped = state_ == PlayState::Stopped;
    state_ = PlayState::Stopped;
    track_.reset();
    songId_ = -1;
    songPos_ = -1;
    if (!wasStopped) service_->StateChanged(PlayState::Stopped);
    retry_.start(kRetryMs);
}

std::optional<Song> MpdPlayer::ReadSong(const std::function<mpd_song*(mpd_connection*)>& query)
{
    const auto once = [&]() -> std::optional<Song> {
        mpd_song* song = query(connection_.get());
        if (!song) return std::nullopt;
        Song read = SongFrom(song);
        mpd_song_free(song);
        return read;
    };
    if (std::optional<Song> song = once()) return song;
    const mpd_error error = mpd_connection_get_error(connection_.get());
    if (error == MPD_ERROR_SUCCESS) return std::nullopt; // no such song
    if (error != MPD_ERROR_MALFORMED) {
        Failed();
        return std::nullopt;
    }
    // A tag too long to read: the song without its tags, named by its file.
    if (!Reopen()) return std::nullopt;
    std::optional<Song> bare;
    if (mpd_run_clear_tag_types(connection_.get())) bare = once();
    if (mpd_connection_get_error(connection_.get()) != MPD_ERROR_SUCCESS && !Failed()) return bare;
    if (!mpd_run_all_tag_types(connection_.get())) Failed();
    return bare;
}

void MpdPlayer::Resync(bool announce, bool fresh)
{
    mpd_status* status = mpd_run_status(connection_.get());
    if (!status) {
        Lost();
        return;
    }
    const PlayState state = StateOf(mpd_status_get_state(status));
    const int songId = state == PlayState::Stopped ? -1 : mpd_status_get_song_id(status);
    songPos_ = mpd_status_get_song_pos(status);
    const unsigned elapsedMs = mpd_status_get_elapsed_ms(status);
    const unsigned queueVersion = mpd_status_get_queue_version(status);
    queueLength_ = static_cast<int>(mpd_status_get_queue_length(status));
    mpd_status_free(status);

    const bool queueChanged = queueVersion != queueVersion_;
    queueVersion_ = queueVersion;
    if (queueChanged && options_.albums && !RebuildRuns()) return;

    const bool songChanged = songId != songId_ || (queueChanged && options_.albums);
    const PlayState was = state_;
    std::optional<jukebox::Track> previous = track_;
    songId_ = songId;
    state_ = state;
    if (songChanged) {
        track_.reset();
        if (state != PlayState::Stopped) {
            const std::optional<Song> current = ReadSong(mpd_run_current_song);
            if (!connection_ || lostPending_) return;
            if (current) {
                const Song& s = *current;
                std::string number = TrackNumberOf(s.track);
                if (options_.albums) {
                    if (const std::optional<std::size_t> run = runs_.RunOf(songPos_); run && runs_.At(*run).WholeAlbum())
                        number = std::to_string(songPos_ - runs_.At(*run).start + 1);
                }
                track_ = TrackOf(s, CoverFor(s), number);
                if (!connection_ || lostPending_) return;
            }
        }
    }
    // A queue edit around the playing song changes nothing on the board.
    Announce(was, songChanged && track_ != previous, fresh);
    service_->Elapsed(elapsedMs, state_ == PlayState::Playing, announce || songChanged);
}

void MpdPlayer::Announce(PlayState was, bool songChanged, bool fresh)
{
    if (state_ == PlayState::Stopped) {
        // On (re)connection too: a saver that waited while MPD was away learns it now.
        if (was != PlayState::Stopped || fresh) service_->StateChanged(PlayState::Stopped);
        return;
    }
    if (!track_) return;
    if (was == PlayState::Stopped && state_ == PlayState::Playing) service_->StateChanged(PlayState::Playing);
    if (songChanged || was == PlayState::Stopped) service_->TrackStarted(*track_);
    if (state_ != was && was != PlayState::Stopped) service_->StateChanged(state_);
    else if (state_ == PlayState::Paused && (was == PlayState::Stopped || songChanged))
        service_->StateChanged(PlayState::Paused);
}

bool MpdPlayer::ListQueue(bool runTagsOnly)
{
    // Only the tags that make a run: a long queue costs less to read.
    static constexpr mpd_tag_type kRunTags[] = {MPD_TAG_ALBUM, MPD_TAG_ALBUM_ARTIST, MPD_TAG_ARTIST};
    mpd_connection* c = connection_.get();
    runs_ = AlbumRuns();
    if (!mpd_run_clear_tag_types(c) || (runTagsOnly && !mpd_run_enable_tag_types(c, kRunTags, 3))) {
        if (!mpd_connection_clear_error(c)) return false; // an MPD without tag selection sends them all
    }
    if (!mpd_send_list_queue_meta(c)) return false;
    // One song at a time: a queue of any length is never held whole.
    while (mpd_song* song = mpd_recv_song(c)) {
        runs_.Add(SongFrom(song));
        mpd_song_free(song);
    }
    return mpd_response_finish(c) && (mpd_run_all_tag_types(c) || mpd_connection_clear_error(c));
}

bool MpdPlayer::RebuildRuns()
{
    if (ListQueue(true)) return true;
    if (mpd_connection_get_error(connection_.get()) != MPD_ERROR_MALFORMED) {
        Lost();
        return false;
    }
    if (!Reopen()) return false;
    if (ListQueue(false)) return true;
    Lost();
    return false;
}

std::string MpdPlayer::CoverFor(const Song& song)
{
    const std::optional<std::string> folder = FolderOf(song);
    if (!folder) return {};
    // albumart: a cover file in the song's folder; readpicture: a picture in the file.
    const std::pair<bool, std::string> sources[] = {{false, "folder:" + *folder}, {true, "file:" + song.uri}};
    for (const auto& [embedded, key] : sources) {
        if (std::string path = covers_.Find(key); !path.empty()) return path;
        if (noPicture_.count(key)) continue;
        const std::optional<std::string> bytes = Fetch(embedded, song.uri);
        if (!connection_ || lostPending_) return {};
        if (bytes)
            if (std::string path = covers_.Store(key, *bytes); !path.empty()) return path;
        if (noPicture_.size() >= kMaxRemembered) noPicture_.clear();
        noPicture_.insert(key);
    }
    return {};
}

std::optional<std::string> MpdPlayer::Fetch(bool embedded, const std::string& uri)
{
    std::string picture;
    std::vector<char> chunk(kBinaryChunk);
    for (;;) {
        const unsigned offset = static_cast<unsigned>(picture.size());
        const int got = embedded ? mpd_run_readpicture(connection_.get(), uri.c_str(), offset, chunk.data(), chunk.size())
                                 : mpd_run_albumart(connection_.get(), uri.c_str(), offset, chunk.data(), chunk.size());
        if (got < 0) {
            Failed();
            return std::nullopt;
        }
        if (got == 0) break;
        picture.append(chunk.data(), static_cast<std::size_t>(got));
        // Too big to be a cover the cache would keep: stop reading it.
        if (picture.size() > jukebox::CoverCache::kMaxPictureBytes) return std::nullopt;
    }
    if (picture.empty()) return std::nullopt;
    return picture;
}

std::optional<jukebox::Track> MpdPlayer::Current() const
{
    if (state_ == PlayState::Stopped) return std::nullopt;
    return track_;
}

int MpdPlayer::Pointer() const
{
    if (songPos_ < 0) return 0;
    if (!options_.albums) return songPos_ + 1;
    const std::optional<std::size_t> run = runs_.RunOf(songPos_);
    return run ? static_cast<int>(*run) + 1 : 0;
}

std::optional<Song> MpdPlayer::SongAt(int queueIndex)
{
    if (!LeaveIdle()) return std::nullopt;
    const std::optional<Song> found = ReadSong([queueIndex](mpd_connection* c) {
        return mpd_run_get_queue_song_pos(c, static_cast<unsigned>(queueIndex));
    });
    if (connection_ && !lostPending_ && !idling_) Idle();
    return found;
}

std::optional<jukebox::Entry> MpdPlayer::EntryAt(int position)
{
    if (position < 1 || !connection_) return std::nullopt;
    if (!options_.albums) {
        if (position > queueLength_) return std::nullopt;
        const std::optional<Song> song = SongAt(position - 1);
        return song ? std::optional(SongEntry(*song)) : std::nullopt;
    }
    if (static_cast<std::size_t>(position) > runs_.Size()) return std::nullopt;
    const Run run = runs_.At(static_cast<std::size_t>(position - 1));
    const std::optional<Song> first = SongAt(run.start);
    return first ? std::optional(RunEntry(*first, run)) : std::nullopt;
}

} // namespace plxmpd
