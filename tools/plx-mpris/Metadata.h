#pragma once

// How an MPRIS player's Metadata and PlaybackStatus become the link's
// messages. Players send whatever D-Bus types they like, so every field is
// read defensively: a value of the wrong type reads as unknown, never as a
// fault.

#include "Messages.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace plxmpris {

// A field longer than this is cut: the saver refuses a `playing` whose
// fields run past 32,767 characters, and a hostile title costs bounded memory.
inline constexpr qsizetype kMaxFieldChars = 2048;

struct TrackInfo {
    QString id; // mpris:trackid
    QString album;
    QString artist; // several joined with ", "
    QString title;
    std::optional<qint64> lengthUs;
    QString number;
    QString artUrl;

    bool operator==(const TrackInfo&) const = default;
};

// Reads a Metadata map as QtDBus hands it over.
TrackInfo ReadMetadata(const QVariantMap& metadata);
// A dictionary (a{sv}) as QtDBus hands it over: a map, or the D-Bus argument
// holding one, perhaps inside a variant. Nothing when it is anything else.
std::optional<QVariantMap> ReadMap(const QVariant& value);
// Any D-Bus integer type, perhaps inside a variant; nothing for other types.
std::optional<qint64> ReadInteger(const QVariant& value);

// "Playing", "Paused", "Stopped"; nothing for anything else.
std::optional<jukebox::PlayState> ReadStatus(const QVariant& value);

// Microseconds as m:ss or h:mm:ss; empty when unknown, negative or absurd.
std::string LengthText(std::optional<qint64> lengthUs);

jukebox::Track TrackOf(const TrackInfo& info, const std::string& cover);
jukebox::Entry EntryOf(const TrackInfo& info);

// Where a cover comes from.
enum class ArtKind { None, File, Web };
struct ArtSource {
    ArtKind kind = ArtKind::None;
    QByteArray path; // File: the local path, percent-decoded, as bytes
    QString url;     // Web: the http(s) URL

    bool operator==(const ArtSource&) const = default;
};
ArtSource ClassifyArt(const QString& artUrl);

// True when the saver can be handed `path` in a field as it is: valid UTF-8
// with no byte the link would change.
bool PathFitsField(const QByteArray& path);

} // namespace plxmpris
