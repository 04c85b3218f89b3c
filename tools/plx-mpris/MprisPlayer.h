#pragma once

// The MPRIS players on the D-Bus session bus as one jukebox player: it
// watches them come and go, follows one (see Choice), and tells the Service
// what that one does. Every call to a player is asynchronous with a time
// limit, so a player that hangs never stalls the bridge; the bus itself may
// be missing at start or vanish, and is then sought again every second.

#include "Choice.h"
#include "Covers.h"
#include "Metadata.h"
#include "Player.h"
#include "Service.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QDBusServiceWatcher;

namespace plxmpris {

// As every D-Bus client finds the session bus (DBUS_SESSION_BUS_ADDRESS, else
// $XDG_RUNTIME_DIR/bus), but never by starting one.
QString SessionBusAddress();

class MprisPlayer final : public QObject, public jukebox::Player {
    Q_OBJECT

public:
    MprisPlayer(std::string pattern, jukebox::CoverCache& cache, const jukebox::Log& log);
    ~MprisPlayer() override;

    // Starts looking for the bus and its players; reports go to `service`.
    void Start(jukebox::Service& service);

    bool Present() const override { return connected_; }
    jukebox::PlayState State() const override { return shown_.state; }
    std::optional<jukebox::Track> Current() const override { return shown_.track; }
    int Pointer() const override;
    std::optional<jukebox::Entry> EntryAt(int position) override;

private Q_SLOTS:
    void OnPropertiesChanged(const QDBusMessage& message);
    void OnSeeked(const QDBusMessage& message);
    void OnTrackListChanged(const QDBusMessage& message);
    void OnBusDisconnected();

private:
    // One MPRIS player on the bus, known by its well-known name.
    struct Remote {
        QString owner; // its unique name, the sender of its signals
        bool ready = false; // its properties have been read once
        jukebox::PlayState state = jukebox::PlayState::Stopped;
        TrackInfo track;
        QString coverFor; // the art URL `cover` was found for
        std::string cover;
        bool hasTrackList = false;
        bool trackListBusy = false;
        bool trackListStale = false;
        QStringList tracks;
        std::map<QString, TrackInfo> trackInfo;
    };

    void Connect();
    bool Subscribe();
    void LoseBus();
    void Appeared(const QString& name, const QString& owner);
    void Vanished(const QString& name);
    void ReadProperties(const QString& name);
    void ApplyPlayer(const QString& name, const QVariantMap& properties);
    void ReadPosition(bool announce);
    void ReadTrackList(const QString& name);
    void ReadTrackInfo(const QString& name, const QStringList& tracks);
    void CoverArrived(const QString& url);
    // Follows the player Choice names now and tells the savers what changed.
    void Publish();
    jukebox::Showing ShowingOf(Remote& remote);
    Remote* Followed();
    // The well-known names whose owner sent `message`.
    QStringList NamesOf(const QDBusMessage& message) const;
    void Call(const QString& name, const QString& interface, const QString& method, const QVariantList& args,
              std::function<void(const QDBusMessage&)> done);

    Choice choice_;
    Covers covers_;
    const jukebox::Log& log_;
    jukebox::Service* service_ = nullptr;

    QDBusConnection bus_;
    QString busConnectionName_;
    int attempts_ = 0;
    bool connected_ = false;
    bool complained_ = false;
    // Replies from an earlier connection are dropped.
    int epoch_ = 0;
    QTimer retry_;
    std::unique_ptr<QDBusServiceWatcher> watcher_;

    std::map<QString, Remote> remotes_;
    QString followed_;
    jukebox::Showing shown_;
    TrackInfo shownInfo_;
    // A Position reply older than the latest seek or change is stale.
    int positionGeneration_ = 0;
};

} // namespace plxmpris
