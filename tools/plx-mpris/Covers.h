#pragma once

// The cover a player names in mpris:artUrl, as a path the saver can open: a
// local file when its bytes are a picture the saver reads, or a copy of a web
// picture in the shared cover cache. The saver ends on a cover it cannot read,
// so anything doubtful gives an empty field instead.

#include "CoverCache.h"
#include "Metadata.h"
#include "Server.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

class QNetworkReply;

namespace plxmpris {

// The path when the file at `path` is a picture the saver can read; empty
// otherwise. Never blocks on a FIFO or a device.
std::string LocalPicture(const QByteArray& path, jukebox::CoverCache& cache);

class Covers final : public QObject {
public:
    static constexpr int kTimeoutMs = 5000;
    static constexpr int kMaxRedirects = 5;

    // `arrived` is called when a web picture lands in the cache.
    Covers(jukebox::CoverCache& cache, const jukebox::Log& log, std::function<void(const QString& url)> arrived,
           QObject* parent = nullptr);
    ~Covers() override;

    // The path for the art URL now: empty while a web picture is on its way
    // (the fetch starts here, once per URL) and when there is none.
    std::string For(const QString& artUrl);

private:
    struct Fetch;

    void Start(const QString& url);
    void Read(Fetch& fetch);
    // By value: the URL a caller holds may be the key that ending the fetch erases.
    void Finish(QString url);
    void Fail(QString url, const std::string& why);

    jukebox::CoverCache& cache_;
    const jukebox::Log& log_;
    std::function<void(const QString&)> arrived_;
    QNetworkAccessManager network_;
    std::map<QString, std::unique_ptr<Fetch>> running_;
    // URLs that gave no picture are not asked again; the oldest are forgotten.
    std::set<QString> failed_;
    std::deque<QString> failedOrder_;
};

} // namespace plxmpris
