#include "Trivox.h"

#include "PeerCredentials.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace wendel {

namespace {

bool IsNotification(const std::string& command) { return command.starts_with("notify_"); }

constexpr std::size_t kChunkBytes = 16 * 1024;

} // namespace

Trivox::Trivox(QString endpoint, QObject* parent, FirstAttempt first)
    : QObject(parent), endpoint_(std::move(endpoint))
{
    retryTimer_.setSingleShot(true);
    retryTimer_.setInterval(kRetryIntervalMs);
    connect(&retryTimer_, &QTimer::timeout, this, [this] { Connect(); });
    pumpTimer_.setSingleShot(true);
    pumpTimer_.setInterval(0);
    connect(&pumpTimer_, &QTimer::timeout, this, [this] { Pump(); });

    if (first == FirstAttempt::Now) {
        Connect();
    } else {
        retryTimer_.start();
    }
}

void Trivox::Start()
{
    if (started_) return;
    retryTimer_.stop();
    Connect();
}

Trivox::~Trivox()
{
    Close();
}

void Trivox::Close()
{
    readable_.reset();
    writable_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    unsent_.clear();
}

void Trivox::Connect()
{
    started_ = true;
    connected_ = false;
    Close();
    const QByteArray path = QFile::encodeName(endpoint_);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<std::size_t>(path.size()) >= sizeof address.sun_path) {
        OnLost(); // a name no socket can have: nobody is there
        return;
    }
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // A local connect is done or refused at once; a full backlog (EAGAIN)
    // counts as refused, and the retry comes.
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        Close();
        OnLost();
        return;
    }
    OnConnected();
}

void Trivox::OnConnected()
{
    // Another user's jukebox could put its words on our board: hang up before
    // a byte passes either way, and look again later as if nobody were there.
    if (!PeerIsTrusted(fd_)) {
        Close();
        if (!retryTimer_.isActive()) retryTimer_.start();
        return;
    }
    connected_ = true;
    retryTimer_.stop();
    readable_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(fd_), QSocketNotifier::Read);
    connect(readable_.get(), &QSocketNotifier::activated, this, [this] { Pump(); });
    writable_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(fd_), QSocketNotifier::Write);
    writable_->setEnabled(false);
    connect(writable_.get(), &QSocketNotifier::activated, this, [this] { Flush(); });
    std::string hello;
    for (const OpenedDevice& d : opened_) hello += wire::EncodeOpen(d.device, d.type, d.a, d.b, d.c);
    for (const Notification& n : notifications_) hello += wire::EncodeSend(n.device, n.command);
    for (const Command& c : queue_) hello += wire::EncodeSend(c.device, c.command);
    queue_.clear();
    Write(hello);
    // After the frames left from the last connection, before any of this one.
    announceConnection_ = true;
    pumpTimer_.start();
}

void Trivox::OnLost()
{
    // Whole frames that came before the end are still the jukebox's word;
    // a half frame is not.
    decoder_.DropPartialLine();
    connected_ = false;
    Close();
    if (!retryTimer_.isActive()) retryTimer_.start();
    if (decoder_.HasFrame()) pumpTimer_.start();
}

void Trivox::OpenDevice(const std::string& device, const std::string& type, int a, int b, int c)
{
    bool known = false;
    for (OpenedDevice& d : opened_) {
        if (d.device == device && d.type == type) {
            d = {device, type, a, b, c};
            known = true;
        }
    }
    if (!known) opened_.push_back({device, type, a, b, c});
    if (connected_) Write(wire::EncodeOpen(device, type, a, b, c));
}

void Trivox::SendCommand(const std::string& device, const std::string& command)
{
    if (IsNotification(command)) {
        Remember(device, command);
        // The replay on connecting carries it; sending it now too would be twice.
        if (connected_) Write(wire::EncodeSend(device, command));
        return;
    }
    if (connected_) {
        Write(wire::EncodeSend(device, command));
        return;
    }
    if (queue_.size() >= kQueueLimit) queue_.pop_front();
    queue_.push_back({device, command});
}

void Trivox::Remember(const std::string& device, const std::string& command)
{
    // notify_x[on] and a later notify_x[off] are one notification: the replay
    // must leave the jukebox in the latest state, at the place first sent.
    const std::string name = command.substr(0, command.find('['));
    for (Notification& n : notifications_) {
        if (n.device == device && n.name == name) {
            n.command = command;
            return;
        }
    }
    notifications_.push_back({device, name, command});
}

void Trivox::SetMessageHandler(MessageHandler handler)
{
    handler_ = std::move(handler);
    pumpTimer_.start();
}

void Trivox::SetConnectedHandler(ConnectedHandler handler)
{
    connectedHandler_ = std::move(handler);
}

void Trivox::Write(const std::string& frame)
{
    if (frame.empty() || !connected_) return;
    if (unsent_.size() > static_cast<std::size_t>(kWriteBacklogBytes)) return;
    unsent_ += frame;
    Flush();
}

void Trivox::Flush()
{
    while (!unsent_.empty()) {
        const ssize_t sent = ::send(fd_, unsent_.data(), unsent_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (sent <= 0) {
            // Gone: reading tells the end, with the frames that came before it.
            unsent_.clear();
            break;
        }
        unsent_.erase(0, static_cast<std::size_t>(sent));
    }
    if (writable_) writable_->setEnabled(!unsent_.empty());
}

bool Trivox::ReadChunk()
{
    char chunk[kChunkBytes];
    ssize_t got;
    do {
        got = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
    if (got <= 0) {
        OnLost();
        return false;
    }
    decoder_.Feed(std::string_view(chunk, static_cast<std::size_t>(got)));
    return got == static_cast<ssize_t>(sizeof chunk);
}

void Trivox::Pump()
{
    // A handler that spins the event loop brings us back here; the outer call
    // goes on delivering, one frame at a time and in order.
    if (delivering_) return;
    delivering_ = true;
    int budget = kFramesPerTurn;
    std::int64_t readBudget = kReadBufferBytes; // an endless line must not hold the loop either
    bool moreToRead = connected_;
    while (budget > 0) {
        if (decoder_.HasFrame()) {
            --budget;
            const wire::Frame frame = decoder_.TakeFrame();
            if (frame.kind == wire::FrameKind::Msg && handler_) handler_(frame.device, frame.text);
            continue;
        }
        if (announceConnection_) {
            announceConnection_ = false;
            if (connectedHandler_) connectedHandler_();
            continue;
        }
        // Only a jukebox we have accepted is heard.
        if (!connected_ || !moreToRead || readBudget <= 0) break;
        moreToRead = ReadChunk();
        readBudget -= static_cast<std::int64_t>(kChunkBytes);
    }
    delivering_ = false;
    // More waiting: come back on the next turn, after input and paints. The
    // socket is not watched meanwhile, so it cannot call us in between.
    const bool more = decoder_.HasFrame() || announceConnection_ || (connected_ && moreToRead);
    if (readable_) readable_->setEnabled(!more);
    if (more) pumpTimer_.start();
}

std::size_t Trivox::HeldBytes() const
{
    int unread = 0;
    if (fd_ >= 0 && ::ioctl(fd_, FIONREAD, &unread) != 0) unread = 0;
    return decoder_.BufferedBytes() + decoder_.PendingBytes() + static_cast<std::size_t>(std::max(0, unread));
}

} // namespace wendel
