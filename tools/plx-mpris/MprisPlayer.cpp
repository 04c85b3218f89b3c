#include "MprisPlayer.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace plxmpris {

namespace {

using jukebox::PlayState;

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kTrackList = QStringLiteral("org.mpris.MediaPlayer2.TrackList");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
// A player that takes longer than this to answer is not waited for.
constexpr int kCallTimeoutMs = 3000;
constexpr int kRetryMs = 1000;
// A track list is read whole, up to this many tracks.
constexpr qsizetype kMaxTracks = 1000;

QStringList ObjectPaths(const QVariant& value)
{
    QStringList paths;
    const QVariant inner = value.metaType() == QMetaType::fromType<QDBusVariant>()
                               ? value.value<QDBusVariant>().variant()
                               : value;
    if (inner.metaType() != QMetaType::fromType<QDBusArgument>()) return paths;
    const QDBusArgument argument = inner.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("ao")) return paths;
    for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(argument)) {
        if (paths.size() >= kMaxTracks) break;
        paths << path.path();
    }
    return paths;
}

} // namespace

QString SessionBusAddress()
{
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty()) return QString::fromLocal8Bit(address);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QString() : QStringLiteral("unix:path=") + QString::fromLocal8Bit(runtime) + "/bus";
}

MprisPlayer::MprisPlayer(std::string pattern, jukebox::CoverCache& cache, const jukebox::Log& log)
    : choice_(std::move(pattern)),
      covers_(cache, log, [this](const QString& url) { CoverArrived(url); }, this),
      log_(log),
      bus_(QString())
{
    setObjectName(QStringLiteral("mprisPlayer"));
    qDBusRegisterMetaType<QList<QDBusObjectPath>>();
    retry_.setObjectName(QStringLiteral("busRetry"));
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, [this] { Connect(); });
}

MprisPlayer::~MprisPlayer()
{
    watcher_.reset();
    if (connected_) QDBusConnection::disconnectFromBus(busConnectionName_);
}

void MprisPlayer::Start(jukebox::Service& service)
{
    service_ = &service;
    Connect();
}

void MprisPlayer::Connect()
{
    const QString address = SessionBusAddress();
    busConnectionName_ = QStringLiteral("plx-mpris-%1").arg(++attempts_);
    bus_ = QDBusConnection::connectToBus(address, busConnectionName_);
    if (!bus_.isConnected() || !Subscribe()) {
        if (!complained_)
            log_.Line("no session bus at " + (address.isEmpty() ? std::string("(none)") : address.toStdString()) +
                      ": " + bus_.lastError().message().toStdString() + "; trying every second");
        complained_ = true;
        bus_ = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(busConnectionName_);
        retry_.start();
        return;
    }
    complained_ = false;
    connected_ = true;
    log_.Line("on the session bus as " + bus_.baseService().toStdString());
    // A newcomer waiting for the bus learns that nothing plays yet.
    service_->Show(shown_, shown_, true);
    const QStringList names = bus_.interface()->registeredServiceNames().value();
    for (const QString& name : names) {
        if (!name.startsWith(QLatin1String(kBusPrefix.data(), static_cast<qsizetype>(kBusPrefix.size())))) continue;
        Appeared(name, bus_.interface()->serviceOwner(name).value());
    }
}

bool MprisPlayer::Subscribe()
{
    watcher_ = std::make_unique<QDBusServiceWatcher>(QStringLiteral("org.mpris.MediaPlayer2*"), bus_,
                                                     QDBusServiceWatcher::WatchForOwnerChange);
    connect(watcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString& name, const QString& oldOwner, const QString& newOwner) {
                if (!oldOwner.isEmpty()) Vanished(name);
                if (!newOwner.isEmpty()) Appeared(name, newOwner);
            });
    // From any sender: the owner of each signal is looked up in remotes_.
    bool ok = bus_.connect(QString(), kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                           SLOT(OnPropertiesChanged(QDBusMessage)));
    ok = ok && bus_.connect(QString(), kPath, kPlayer, QStringLiteral("Seeked"), this, SLOT(OnSeeked(QDBusMessage)));
    for (const char* member : {"TrackListReplaced", "TrackAdded", "TrackRemoved", "TrackMetadataChanged"})
        ok = ok && bus_.connect(QString(), kPath, kTrackList, QString::fromLatin1(member), this,
                                SLOT(OnTrackListChanged(QDBusMessage)));
    // libdbus tells of a lost bus with a signal of its own, so the bridge
    // need not wake up to ask.
    ok = ok && bus_.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                            QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                            SLOT(OnBusDisconnected()));
    return ok;
}

void MprisPlayer::OnBusDisconnected()
{
    if (connected_) LoseBus();
}

void MprisPlayer::LoseBus()
{
    log_.Line("lost the session bus");
    watcher_.reset();
    ++epoch_;
    connected_ = false;
    remotes_.clear();
    choice_ = Choice(choice_.Pattern());
    followed_.clear();
    const jukebox::Showing was = shown_;
    shown_ = {};
    shownInfo_ = {};
    service_->Show(was, shown_, false);
    bus_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(busConnectionName_);
    retry_.start();
}

void MprisPlayer::Appeared(const QString& name, const QString& owner)
{
    if (owner.isEmpty() || !MatchesPlayer(name.toStdString(), choice_.Pattern())) return;
    Remote& remote = remotes_[name];
    if (remote.owner == owner) return;
    remote = Remote{};
    remote.owner = owner;
    log_.Line("player " + name.toStdString() + " appeared");
    ReadProperties(name);
}

void MprisPlayer::Vanished(const QString& name)
{
    if (remotes_.erase(name) == 0) return;
    log_.Line("player " + name.toStdString() + " left");
    choice_.Gone(name.toStdString());
    if (name == followed_) {
        // Its track went with it: the board stops before it follows another.
        followed_.clear();
        const jukebox::Showing was = shown_;
        shown_ = {};
        shownInfo_ = {};
        service_->Show(was, shown_, false);
    }
    Publish();
}

void MprisPlayer::ReadProperties(const QString& name)
{
    Call(name, kProperties, QStringLiteral("GetAll"), {kRoot}, [this, name](const QDBusMessage& reply) {
        const std::optional<QVariantMap> root = ReadMap(reply.arguments().value(0));
        const auto found = remotes_.find(name);
        if (!root || found == remotes_.end()) return;
        const QVariant has = root->value(QStringLiteral("HasTrackList"));
        found->second.hasTrackList = has.metaType() == QMetaType::fromType<bool>() && has.toBool();
        ReadTrackList(name);
    });
    Call(name, kProperties, QStringLiteral("GetAll"), {kPlayer}, [this, name](const QDBusMessage& reply) {
        const std::optional<QVariantMap> properties = ReadMap(reply.arguments().value(0));
        const auto found = remotes_.find(name);
        if (!properties || found == remotes_.end()) return;
        if (!found->second.ready) choice_.Seen(name.toStdString());
        found->second.ready = true;
        ApplyPlayer(name, *properties);
    });
}

void MprisPlayer::ApplyPlayer(const QString& name, const QVariantMap& properties)
{
    Remote& remote = remotes_.at(name);
    const std::string key = name.toStdString();
    const auto status = properties.find(QStringLiteral("PlaybackStatus"));
    if (status != properties.end()) {
        if (const std::optional<PlayState> state = ReadStatus(*status)) {
            choice_.Status(key, *state);
            remote.state = *state;
        }
    }
    const auto metadata = properties.find(QStringLiteral("Metadata"));
    if (metadata != properties.end()) {
        // Metadata that is no dictionary at all is ignored: the board keeps its track.
        if (const std::optional<QVariantMap> map = ReadMap(*metadata)) {
            TrackInfo info = ReadMetadata(*map);
            if (info != remote.track) {
                remote.track = std::move(info);
                choice_.Active(key);
            }
        } else {
            log_.Line("player " + key + " sent Metadata that is not a dictionary");
        }
    }
    if (remote.ready) Publish();
}

void MprisPlayer::Publish()
{
    if (!service_ || !connected_) return;
    const std::optional<std::string> next = choice_.Followed();
    const QString name = next ? QString::fromStdString(*next) : QString();
    const bool switched = name != followed_;
    if (switched) {
        followed_ = name;
        log_.Line(name.isEmpty() ? std::string("following no player") : "following " + *next);
    }
    Remote* remote = Followed();
    const jukebox::Showing was = shown_;
    shown_ = remote ? ShowingOf(*remote) : jukebox::Showing{};
    const bool newTrack = remote && remote->track != shownInfo_;
    shownInfo_ = remote ? remote->track : TrackInfo{};
    service_->Show(was, shown_, switched && remote);
    if (shown_.state != PlayState::Playing) return;
    if (newTrack && !switched) {
        // A new track of the same player starts from the beginning; the
        // player's own word follows.
        ++positionGeneration_;
        service_->Elapsed(0, true, true);
        ReadPosition(false);
    } else if (switched || was.state != PlayState::Playing) {
        ReadPosition(true);
    }
}

jukebox::Showing MprisPlayer::ShowingOf(Remote& remote)
{
    if (remote.state == PlayState::Stopped) return {};
    if (remote.coverFor != remote.track.artUrl || remote.coverFor.isEmpty()) {
        remote.coverFor = remote.track.artUrl;
        remote.cover = covers_.For(remote.track.artUrl);
    }
    return {remote.state, TrackOf(remote.track, remote.cover)};
}

MprisPlayer::Remote* MprisPlayer::Followed()
{
    const auto found = remotes_.find(followed_);
    return found == remotes_.end() ? nullptr : &found->second;
}

void MprisPlayer::CoverArrived(const QString& url)
{
    for (auto& [name, remote] : remotes_)
        if (remote.track.artUrl == url) remote.coverFor.clear();
    Publish();
}

void MprisPlayer::ReadPosition(bool announce)
{
    const int generation = ++positionGeneration_;
    Call(followed_, kProperties, QStringLiteral("Get"), {kPlayer, QStringLiteral("Position")},
         [this, generation, announce](const QDBusMessage& reply) {
             if (generation != positionGeneration_ || shown_.state != PlayState::Playing) return;
             const std::optional<qint64> us = ReadInteger(reply.arguments().value(0));
             if (us && *us >= 0) service_->Elapsed(*us / 1000, true, announce);
         });
}

void MprisPlayer::OnPropertiesChanged(const QDBusMessage& message)
{
    if (message.signature() != QLatin1String("sa{sv}as")) return;
    const QString interface = message.arguments().value(0).toString();
    const std::optional<QVariantMap> changed = ReadMap(message.arguments().value(1));
    const QStringList invalidated = message.arguments().value(2).toStringList();
    if (!changed) return;
    for (const QString& name : NamesOf(message)) {
        if (interface == kPlayer) {
            if (invalidated.contains(QStringLiteral("PlaybackStatus")) || invalidated.contains(QStringLiteral("Metadata")))
                ReadProperties(name);
            ApplyPlayer(name, *changed);
        } else if (interface == kTrackList) {
            ReadTrackList(name);
        } else if (interface == kRoot && changed->contains(QStringLiteral("HasTrackList"))) {
            ReadProperties(name);
        }
    }
}

void MprisPlayer::OnSeeked(const QDBusMessage& message)
{
    if (message.signature() != QLatin1String("x")) return;
    if (!NamesOf(message).contains(followed_) || shown_.state != PlayState::Playing) return;
    ++positionGeneration_;
    const qint64 us = message.arguments().value(0).toLongLong();
    service_->Elapsed(std::max<qint64>(0, us) / 1000, true, true);
}

void MprisPlayer::OnTrackListChanged(const QDBusMessage& message)
{
    for (const QString& name : NamesOf(message)) ReadTrackList(name);
}

void MprisPlayer::ReadTrackList(const QString& name)
{
    const auto found = remotes_.find(name);
    if (found == remotes_.end() || !found->second.hasTrackList) return;
    Remote& remote = found->second;
    // One read at a time; changes meanwhile ask for one more afterwards.
    if (remote.trackListBusy) {
        remote.trackListStale = true;
        return;
    }
    remote.trackListBusy = true;
    remote.trackListStale = false;
    Call(name, kProperties, QStringLiteral("Get"), {kTrackList, QStringLiteral("Tracks")},
         [this, name](const QDBusMessage& reply) {
             if (!remotes_.contains(name)) return;
             ReadTrackInfo(name, ObjectPaths(reply.arguments().value(0)));
         });
}

void MprisPlayer::ReadTrackInfo(const QString& name, const QStringList& tracks)
{
    QList<QDBusObjectPath> paths;
    for (const QString& track : tracks) paths << QDBusObjectPath(track);
    Call(name, kTrackList, QStringLiteral("GetTracksMetadata"), {QVariant::fromValue(paths)},
         [this, name, tracks](const QDBusMessage& reply) {
             const auto found = remotes_.find(name);
             if (found == remotes_.end()) return;
             Remote& remote = found->second;
             remote.trackListBusy = false;
             remote.tracks = tracks;
             remote.trackInfo.clear();
             const QVariant list = reply.arguments().value(0);
             if (list.metaType() == QMetaType::fromType<QDBusArgument>() &&
                 list.value<QDBusArgument>().currentSignature() == QLatin1String("aa{sv}")) {
                 for (const QVariantMap& map : qdbus_cast<QList<QVariantMap>>(list.value<QDBusArgument>())) {
                     TrackInfo info = ReadMetadata(map);
                     if (tracks.contains(info.id)) remote.trackInfo[info.id] = std::move(info);
                 }
             }
             log_.Line("player " + name.toStdString() + " has a track list of " + std::to_string(tracks.size()) +
                       " track(s)");
             if (remote.trackListStale) ReadTrackList(name);
         });
}

int MprisPlayer::Pointer() const
{
    const auto found = remotes_.find(followed_);
    if (found == remotes_.end() || !found->second.hasTrackList) return 1;
    const qsizetype at = found->second.tracks.indexOf(found->second.track.id);
    return at < 0 ? 1 : static_cast<int>(at) + 1;
}

std::optional<jukebox::Entry> MprisPlayer::EntryAt(int position)
{
    const Remote* remote = Followed();
    if (!remote || !shown_.track) return std::nullopt;
    if (!remote->hasTrackList || remote->tracks.isEmpty())
        return position == 1 ? std::optional(EntryOf(remote->track)) : std::nullopt;
    if (position < 1 || position > remote->tracks.size()) return std::nullopt;
    const auto info = remote->trackInfo.find(remote->tracks.at(position - 1));
    return info == remote->trackInfo.end() ? jukebox::Entry{} : EntryOf(info->second);
}

QStringList MprisPlayer::NamesOf(const QDBusMessage& message) const
{
    QStringList names;
    for (const auto& [name, remote] : remotes_)
        if (remote.owner == message.service()) names << name;
    return names;
}

void MprisPlayer::Call(const QString& name, const QString& interface, const QString& method, const QVariantList& args,
                       std::function<void(const QDBusMessage&)> done)
{
    const auto found = remotes_.find(name);
    if (!connected_ || found == remotes_.end()) return;
    // Sent to the owner, so a reply from a later owner of the name is never mistaken for it.
    QDBusMessage call = QDBusMessage::createMethodCall(found->second.owner, kPath, interface, method);
    call.setArguments(args);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, epoch = epoch_, done = std::move(done)] {
                watcher->deleteLater();
                const QDBusMessage reply = watcher->reply();
                // An error reply goes to `done` too: it reads as nothing, and ends what waited.
                if (epoch == epoch_) done(reply);
            });
}

} // namespace plxmpris
