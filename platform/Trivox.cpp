#include "Trivox.h"

#include "PeerCredentials.h"

#include <QLocalSocket>

#include <algorithm>
#include <utility>

namespace wendel {

namespace {

bool IsNotification(const std::string& command) { return command.starts_with("notify_"); }

} // namespace

Trivox::Trivox(QString endpoint, QObject* parent, FirstAttempt first)
    : QObject(parent), endpoint_(std::move(endpoint)), socket_(new QLocalSocket(this))
{
    connect(socket_, &QLocalSocket::connected, this, [this] { OnConnected(); });
    connect(socket_, &QLocalSocket::disconnected, this, [this] { OnLost(); });
    connect(socket_, &QLocalSocket::errorOccurred, this, [this] {
        // A refused or vanished endpoint; a connected socket reports its end
        // through disconnected as well, and OnLost copes with both.
        if (socket_->state() != QLocalSocket::ConnectedState) OnLost();
    });
    connect(socket_, &QLocalSocket::readyRead, this, [this] { Pump(); });

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
    // The socket says goodbye while it is destroyed; nobody is left to hear it.
    QObject::disconnect(socket_, nullptr, this, nullptr);
}

void Trivox::Connect()
{
    started_ = true;
    connected_ = false;
    socket_->abort();
    socket_->setReadBufferSize(kReadBufferBytes);
    socket_->connectToServer(endpoint_, QIODevice::ReadWrite);
}

void Trivox::OnConnected()
{
    if (connected_) return;
    // Another user's jukebox could put its words on our board: hang up before
    // a byte passes either way, and look again later as if nobody were there.
    if (!PeerIsTrusted(static_cast<int>(socket_->socketDescriptor()))) {
        socket_->abort();
        if (!retryTimer_.isActive()) retryTimer_.start();
        return;
    }
    connected_ = true;
    retryTimer_.stop();
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
    if (connected_ && socket_->bytesAvailable() > 0) {
        const QByteArray rest = socket_->readAll();
        decoder_.Feed(std::string_view(rest.constData(), static_cast<std::size_t>(rest.size())));
    }
    decoder_.DropPartialLine();
    connected_ = false;
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
    if (frame.empty()) return;
    if (socket_->bytesToWrite() > kWriteBacklogBytes) return;
    socket_->write(frame.data(), static_cast<qint64>(frame.size()));
}

void Trivox::Pump()
{
    // A handler that spins the event loop brings us back here; the outer call
    // goes on delivering, one frame at a time and in order.
    if (delivering_) return;
    delivering_ = true;
    int budget = kFramesPerTurn;
    qint64 readBudget = kReadBufferBytes; // an endless line must not hold the loop either
    char chunk[16 * 1024];
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
        if (!connected_ || readBudget <= 0 || socket_->bytesAvailable() <= 0) break;
        const qint64 got = socket_->read(chunk, sizeof chunk);
        if (got <= 0) break;
        readBudget -= got;
        decoder_.Feed(std::string_view(chunk, static_cast<std::size_t>(got)));
    }
    delivering_ = false;
    // More waiting: come back on the next turn, after input and paints.
    if (decoder_.HasFrame() || announceConnection_ || (connected_ && socket_->bytesAvailable() > 0)) {
        pumpTimer_.start();
    }
}

std::size_t Trivox::HeldBytes() const
{
    return decoder_.BufferedBytes() + decoder_.PendingBytes() +
           static_cast<std::size_t>(std::max<qint64>(0, socket_->bytesAvailable()));
}

} // namespace wendel
