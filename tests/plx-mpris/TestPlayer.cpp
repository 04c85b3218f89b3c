#include "TestPlayer.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>

namespace plxmpris::testing {

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kTrackList = QStringLiteral("org.mpris.MediaPlayer2.TrackList");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

int counter = 0;

} // namespace

TestPlayer::TestPlayer(const QString& address, const QString& suffix)
    : connectionName_(QStringLiteral("test-player-%1").arg(++counter)),
      bus_(QDBusConnection::connectToBus(address, connectionName_))
{
    qDBusRegisterMetaType<QList<QDBusObjectPath>>();
    qDBusRegisterMetaType<QList<QVariantMap>>();
    player_ = {{"PlaybackStatus", "Stopped"}, {"Metadata", QVariantMap{}}, {"Position", qlonglong(0)}};
    registered_ = bus_.isConnected() && bus_.registerVirtualObject(kPath, this) &&
                  bus_.registerService(QStringLiteral("org.mpris.MediaPlayer2.") + suffix);
}

TestPlayer::~TestPlayer() { Crash(); }

void TestPlayer::Crash()
{
    if (!bus_.isConnected()) return;
    bus_.unregisterObject(kPath);
    bus_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(connectionName_);
}

void TestPlayer::Set(const QString& property, const QVariant& value) { SetAll({{property, value}}); }

void TestPlayer::SetAll(const QVariantMap& properties)
{
    QVariantMap told;
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        player_[it.key()] = it.value();
        if (it.key() != QLatin1String("Position")) told[it.key()] = it.value();
    }
    if (!told.isEmpty()) SendSignal(kProperties, QStringLiteral("PropertiesChanged"), {kPlayer, told, QStringList()});
}

void TestPlayer::Seek(qint64 positionUs)
{
    player_[QStringLiteral("Position")] = positionUs;
    SendSignal(kPlayer, QStringLiteral("Seeked"), {positionUs});
}

void TestPlayer::SetTracks(const QList<QPair<QString, QVariantMap>>& tracks)
{
    hasTrackList_ = true;
    tracks_ = tracks;
    QList<QDBusObjectPath> ids;
    for (const auto& track : tracks) ids << QDBusObjectPath(track.first);
    SendSignal(QStringLiteral("org.mpris.MediaPlayer2.TrackList"), QStringLiteral("TrackListReplaced"),
               {QVariant::fromValue(ids), QVariant::fromValue(QDBusObjectPath(ids.isEmpty() ? "/" : ids.first().path()))});
}

void TestPlayer::SendSignal(const QString& interface, const QString& member, const QVariantList& args)
{
    QDBusMessage signal = QDBusMessage::createSignal(kPath, interface, member);
    signal.setArguments(args);
    bus_.send(signal);
}

QString TestPlayer::introspect(const QString&) const { return {}; }

QVariant TestPlayer::Root() const
{
    return QVariantMap{{"Identity", "Test Player"}, {"HasTrackList", hasTrackList_}};
}

bool TestPlayer::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    const QString member = message.member();
    const QVariantList args = message.arguments();
    QDBusMessage reply;
    if (message.interface() == kProperties && member == QLatin1String("GetAll")) {
        const QString interface = args.value(0).toString();
        reply = message.createReply(interface == kPlayer ? QVariant(player_) : Root());
    } else if (message.interface() == kProperties && member == QLatin1String("Get")) {
        const QString interface = args.value(0).toString();
        const QString property = args.value(1).toString();
        QVariant value = player_.value(property);
        if (interface == kTrackList) {
            QList<QDBusObjectPath> ids;
            for (const auto& track : tracks_) ids << QDBusObjectPath(track.first);
            value = QVariant::fromValue(ids);
        }
        reply = message.createReply(QVariant::fromValue(QDBusVariant(value)));
    } else if (message.interface() == kTrackList && member == QLatin1String("GetTracksMetadata")) {
        QList<QVariantMap> list;
        for (const auto& track : tracks_) {
            QVariantMap metadata = track.second;
            metadata[QStringLiteral("mpris:trackid")] = QVariant::fromValue(QDBusObjectPath(track.first));
            list << metadata;
        }
        reply = message.createReply(QVariant::fromValue(list));
    } else {
        reply = message.createErrorReply(QDBusError::UnknownMethod, member);
    }
    connection.send(reply);
    return true;
}

} // namespace plxmpris::testing
