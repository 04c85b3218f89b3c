#include "Covers.h"

#include "Picture.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plxmpris {

namespace {

// Far more than any header up to a picture's size needs.
constexpr std::size_t kHeaderBytes = 256 * 1024;
constexpr std::size_t kMaxFailed = 256;
// Fetches of different tracks may overlap, but not without end.
constexpr std::size_t kMaxRunning = 4;

std::string ReadUpTo(int fd, std::size_t limit)
{
    std::string bytes;
    char buffer[64 * 1024];
    while (bytes.size() < limit) {
        const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
        if (got <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

bool IsWebScheme(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

std::string LocalPicture(const QByteArray& path, jukebox::CoverCache& cache)
{
    // Non-blocking, so a FIFO named as the cover cannot stall the bridge.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const bool named = PathFitsField(path);
    // A path the link cannot carry as it is goes to the saver as a copy.
    const std::string bytes =
        !regular ? std::string() : ReadUpTo(fd, named ? kHeaderBytes : jukebox::CoverCache::kMaxPictureBytes + 1);
    ::close(fd);
    if (!jukebox::SniffPicture(bytes)) return {};
    if (named) return path.toStdString();
    return cache.Store("file:" + path.toStdString(), bytes);
}

struct Covers::Fetch {
    // The deadline may end its own fetch from its timeout, so it goes later.
    ~Fetch()
    {
        deadline->stop();
        QObject::disconnect(deadline, nullptr, nullptr, nullptr);
        deadline->deleteLater();
    }

    QNetworkReply* reply = nullptr;
    QByteArray bytes;
    QTimer* deadline = nullptr;
};

Covers::Covers(jukebox::CoverCache& cache, const jukebox::Log& log, std::function<void(const QString&)> arrived,
               QObject* parent)
    : QObject(parent), cache_(cache), log_(log), arrived_(std::move(arrived))
{
    setObjectName(QStringLiteral("covers"));
}

Covers::~Covers()
{
    for (auto& [url, fetch] : running_) {
        QObject::disconnect(fetch->reply, nullptr, this, nullptr);
        fetch->reply->abort();
    }
}

std::string Covers::For(const QString& artUrl)
{
    const ArtSource source = ClassifyArt(artUrl);
    switch (source.kind) {
    case ArtKind::None: return {};
    case ArtKind::File: return LocalPicture(source.path, cache_);
    case ArtKind::Web: break;
    }
    const std::string kept = cache_.Find(source.url.toStdString());
    if (!kept.empty()) return kept;
    if (!failed_.contains(source.url) && !running_.contains(source.url) && running_.size() < kMaxRunning)
        Start(source.url);
    return {};
}

void Covers::Start(const QString& url)
{
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setTransferTimeout(kTimeoutMs);
    auto fetch = std::make_unique<Fetch>();
    Fetch& f = *fetch;
    f.reply = network_.get(request);
    f.reply->setReadBufferSize(static_cast<qint64>(kHeaderBytes));
    running_[url] = std::move(fetch);
    log_.Line("fetching cover " + url.toStdString());

    connect(f.reply, &QNetworkReply::redirected, this, [this, url, reply = f.reply](const QUrl& to) {
        if (IsWebScheme(to)) emit reply->redirectAllowed();
        else Fail(url, "redirected to " + to.scheme().toStdString() + ":");
    });
    connect(f.reply, &QNetworkReply::metaDataChanged, this, [this, url, reply = f.reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > static_cast<qint64>(jukebox::CoverCache::kMaxPictureBytes))
            Fail(url, "announced " + std::to_string(length.toLongLong()) + " bytes");
    });
    connect(f.reply, &QNetworkReply::readyRead, this, [this, &f] { Read(f); });
    connect(f.reply, &QNetworkReply::finished, this, [this, url] { Finish(url); });
    // The transfer timeout catches silence; this catches a trickle.
    f.deadline = new QTimer(this);
    f.deadline->setSingleShot(true);
    connect(f.deadline, &QTimer::timeout, this, [this, url] { Fail(url, "took longer than 5 s"); });
    f.deadline->start(kTimeoutMs);
}

void Covers::Read(Fetch& fetch)
{
    fetch.bytes += fetch.reply->readAll();
    if (static_cast<std::size_t>(fetch.bytes.size()) <= jukebox::CoverCache::kMaxPictureBytes) return;
    for (const auto& [url, running] : running_)
        if (running.get() == &fetch) return Fail(QString(url), "more than 16 MiB");
}

void Covers::Finish(QString url)
{
    const auto found = running_.find(url);
    if (found == running_.end()) return;
    Fetch& fetch = *found->second;
    const QVariant status = fetch.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() != 200) return Fail(url, "HTTP status " + std::to_string(status.toInt()));
    if (fetch.reply->error() != QNetworkReply::NoError)
        return Fail(url, fetch.reply->errorString().toStdString());
    Read(fetch);
    if (!running_.contains(url)) return;
    const std::string path =
        cache_.Store(url.toStdString(), std::string_view(fetch.bytes.constData(), static_cast<std::size_t>(fetch.bytes.size())));
    if (path.empty()) return Fail(url, "not a picture the saver reads");
    fetch.reply->deleteLater();
    running_.erase(found);
    log_.Line("cover " + url.toStdString() + " is " + path);
    arrived_(url);
}

void Covers::Fail(QString url, const std::string& why)
{
    const auto found = running_.find(url);
    if (found == running_.end()) return;
    // Out of the table first: aborting finishes the reply at once.
    const std::unique_ptr<Fetch> fetch = std::move(found->second);
    running_.erase(found);
    QObject::disconnect(fetch->reply, nullptr, this, nullptr);
    fetch->reply->abort();
    fetch->reply->deleteLater();
    log_.Line("no cover from " + url.toStdString() + ": " + why);
    failed_.insert(url);
    failedOrder_.push_back(url);
    if (failedOrder_.size() > kMaxFailed) {
        failed_.erase(failedOrder_.front());
        failedOrder_.pop_front();
    }
}

} // namespace plxmpris
