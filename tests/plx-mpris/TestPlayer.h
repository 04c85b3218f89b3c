#pragma once

// An MPRIS player played by the test on its own bus connection, for what a
// real player cannot be made to do: properties of any D-Bus type, a track
// list, a crash at a chosen moment.

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QString>
#include <QVariantMap>

namespace plxmpris::testing {

class TestPlayer final : public QDBusVirtualObject {
public:
    // Registers org.mpris.MediaPlayer2.<suffix> on the bus at `address`.
    TestPlayer(const QString& address, const QString& suffix);
    ~TestPlayer() override;

    bool Registered() const { return registered_; }

    // Sets a property of org.mpris.MediaPlayer2.Player and tells the bus
    // (Position changes silently, as players do).
    void Set(const QString& property, const QVariant& value);
    // Several at once, in one PropertiesChanged.
    void SetAll(const QVariantMap& properties);
    void Seek(qint64 positionUs);
    // The TrackList interface with these tracks (id → Metadata).
    void SetTracks(const QList<QPair<QString, QVariantMap>>& tracks);
    // Leaves the bus at once, as a crash would.
    void Crash();
    // A raw signal on the player's path, of any shape.
    void SendSignal(const QString& interface, const QString& member, const QVariantList& args);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    QVariant Root() const;

    QString connectionName_;
    QDBusConnection bus_;
    bool registered_ = false;
    QVariantMap player_;
    bool hasTrackList_ = false;
    QList<QPair<QString, QVariantMap>> tracks_;
};

} // namespace plxmpris::testing
