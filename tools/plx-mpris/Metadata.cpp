#include "Metadata.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QUrl>

namespace plxmpris {

namespace {

// Nearly a hundred days: anything longer is a player's nonsense, not a track.
constexpr qint64 kLongestUs = 8'000'000LL * 1'000'000LL;

// A variant inside a variant is read as what it holds.
QVariant Unwrapped(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QDBusVariant>()) return value.value<QDBusVariant>().variant();
    return value;
}

QString Clip(const QString& text)
{
    if (text.size() <= kMaxFieldChars) return text;
    qsizetype cut = kMaxFieldChars;
    // Never split a character made of two UTF-16 units.
    if (text.at(cut - 1).isHighSurrogate()) --cut;
    return text.left(cut);
}

// A string, or a list of strings joined with ", "; anything else is unknown.
QString Text(const QVariant& raw)
{
    const QVariant value = Unwrapped(raw);
    if (value.metaType() == QMetaType::fromType<QString>()) return Clip(value.toString());
    if (value.metaType() == QMetaType::fromType<QStringList>()) {
        QString joined;
        for (const QString& part : value.toStringList()) {
            if (part.isEmpty()) continue;
            if (!joined.isEmpty()) joined += QStringLiteral(", ");
            joined += part;
            // A list of a million names stops growing at the cut.
            if (joined.size() > kMaxFieldChars) break;
        }
        return Clip(joined);
    }
    return {};
}

} // namespace

std::optional<qint64> ReadInteger(const QVariant& raw)
{
    const QVariant value = Unwrapped(raw);
    switch (value.metaType().id()) {
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong: return value.toLongLong();
    case QMetaType::ULongLong: {
        const qulonglong big = value.toULongLong();
        return big > static_cast<qulonglong>(kLongestUs) ? kLongestUs + 1 : static_cast<qint64>(big);
    }
    default: return std::nullopt;
    }
}

namespace {

QString TrackId(const QVariant& raw)
{
    const QVariant value = Unwrapped(raw);
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>()) return Clip(value.value<QDBusObjectPath>().path());
    return Text(value);
}

// An integer above 0, or the digits a text begins with ("3/12" is 3).
QString Number(const QVariant& raw)
{
    if (const std::optional<qint64> number = ReadInteger(raw)) return *number > 0 ? QString::number(*number) : QString();
    const QString text = Text(raw).trimmed();
    qsizetype digits = 0;
    while (digits < text.size() && digits < 9 && text.at(digits).isDigit()) ++digits;
    return text.left(digits);
}

} // namespace

TrackInfo ReadMetadata(const QVariantMap& metadata)
{
    TrackInfo info;
    info.id = TrackId(metadata.value(QStringLiteral("mpris:trackid")));
    info.album = Text(metadata.value(QStringLiteral("xesam:album")));
    info.artist = Text(metadata.value(QStringLiteral("xesam:artist")));
    info.title = Text(metadata.value(QStringLiteral("xesam:title")));
    const std::optional<qint64> length = ReadInteger(metadata.value(QStringLiteral("mpris:length")));
    if (length && *length > 0 && *length <= kLongestUs) info.lengthUs = length;
    info.number = Number(metadata.value(QStringLiteral("xesam:trackNumber")));
    info.artUrl = Text(metadata.value(QStringLiteral("mpris:artUrl")));
    return info;
}

std::optional<QVariantMap> ReadMap(const QVariant& raw)
{
    const QVariant value = Unwrapped(raw);
    if (value.metaType() == QMetaType::fromType<QVariantMap>()) return value.toMap();
    if (value.metaType() != QMetaType::fromType<QDBusArgument>()) return std::nullopt;
    const QDBusArgument argument = value.value<QDBusArgument>();
    // Reading another shape as a map would read garbage: check first.
    if (argument.currentSignature() != QLatin1String("a{sv}")) return std::nullopt;
    return qdbus_cast<QVariantMap>(argument);
}

std::optional<jukebox::PlayState> ReadStatus(const QVariant& raw)
{
    const QVariant value = Unwrapped(raw);
    if (value.metaType() != QMetaType::fromType<QString>()) return std::nullopt;
    static const struct {
        const char* name;
        jukebox::PlayState state;
    } kStates[] = {{"Playing", jukebox::PlayState::Playing},
                   {"Paused", jukebox::PlayState::Paused},
                   {"Stopped", jukebox::PlayState::Stopped}};
    for (const auto& [name, state] : kStates)
        if (value.toString() == QLatin1String(name)) return state;
    return std::nullopt;
}

std::string LengthText(std::optional<qint64> lengthUs)
{
    if (!lengthUs || *lengthUs <= 0 || *lengthUs > kLongestUs) return {};
    return jukebox::FormatDuration(static_cast<int>(*lengthUs / 1'000'000));
}

jukebox::Track TrackOf(const TrackInfo& info, const std::string& cover)
{
    return {info.album.toStdString(), info.artist.toStdString(), info.title.toStdString(),
            LengthText(info.lengthUs),  cover,                      info.number.toStdString()};
}

jukebox::Entry EntryOf(const TrackInfo& info)
{
    jukebox::Entry entry;
    entry.album = info.album.toStdString();
    entry.artist = info.artist.toStdString();
    entry.title = info.title.toStdString();
    entry.length = LengthText(info.lengthUs);
    return entry;
}

ArtSource ClassifyArt(const QString& artUrl)
{
    const QUrl url(artUrl);
    if (artUrl.isEmpty() || !url.isValid()) return {};
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("file")) {
        const QString host = url.host();
        if (!host.isEmpty() && host != QLatin1String("localhost")) return {};
        const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (!path.startsWith('/') || path.contains('\0')) return {};
        return {ArtKind::File, path, {}};
    }
    if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty())
        return {ArtKind::Web, {}, url.toString(QUrl::FullyEncoded)};
    return {};
}

bool PathFitsField(const QByteArray& path)
{
    for (const char c : path)
        if (c == '"' || c == '\t' || c == '\r' || c == '\n' || c == '\0') return false;
    return QString::fromUtf8(path).toUtf8() == path;
}

} // namespace plxmpris
