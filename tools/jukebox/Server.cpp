#include "Server.h"

#include "PeerCredentials.h"

#include <QFile>
#include <QLocalSocket>

#include <cstdio>
#include <sys/stat.h>

namespace jukebox {

namespace wire = wendel::wire;

namespace {

// A saver that stops reading is cut off rather than hoarded for.
constexpr qint64 kWriteBacklogBytes = 4 * 1024 * 1024;
constexpr qint64 kReadBufferBytes = 256 * 1024;

} // namespace

void Log::Line(const std::string& line) const
{
    const std::int64_t ms = clock_.elapsed();
    std::printf("[%5lld.%03lld] %s\n", static_cast<long long>(ms / 1000), static_cast<long long>(ms % 1000),
                line.c_str());
    std::fflush(stdout);
}

Server::Server(Audience& audience, const Log& log, bool verbose) : audience_(audience), log_(log), verbose_(verbose)
{
    connect(&server_, &QLocalServer::newConnection, this, [this] { Accept(); });
}

Server::~Server()
{
    for (auto& [id, connection] : connections_) QObject::disconnect(connection->socket, nullptr, this, nullptr);
}

void Server::SetAroundRead(std::function<void()> before, std::function<void()> after)
{
    beforeRead_ = std::move(before);
    afterRead_ = std::move(after);
}

bool Server::Listen(const QString& endpoint, QString& error)
{
    const QByteArray path = QFile::encodeName(endpoint);
    struct stat info {};
    if (::lstat(path.constData(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            error = endpoint + QStringLiteral(" exists and is not a socket; not touching it");
            return false;
        }
        QLocalSocket probe;
        probe.connectToServer(endpoint);
        if (probe.waitForConnected(1000)) {
            error = QStringLiteral("a jukebox is already listening on ") + endpoint;
            return false;
        }
        if (probe.error() != QLocalSocket::ConnectionRefusedError &&
            probe.error() != QLocalSocket::ServerNotFoundError) {
            error = QStringLiteral("cannot tell whether ") + endpoint + QStringLiteral(" is in use: ") +
                    probe.errorString();
            return false;
        }
        // Nobody answers: a socket left behind by a process that died.
        QLocalServer::removeServer(endpoint);
        log_.Line("replaced a stale socket at " + path.toStdString());
    }
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(endpoint)) {
        error = QStringLiteral("cannot listen on ") + endpoint + QStringLiteral(": ") + server_.errorString();
        return false;
    }
    // Only its owner may talk to the jukebox.
    ::chmod(path.constData(), S_IRUSR | S_IWUSR);
    log_.Line("listening on " + path.toStdString());
    return true;
}

void Server::Accept()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        // The mode of the socket file keeps other users out; this holds even
        // where the file's mode does not, so nobody else reads our player.
        if (!wendel::PeerIsTrusted(static_cast<int>(socket->socketDescriptor()))) {
            log_.Line("ignored a connection from another user");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto connection = std::make_unique<Connection>();
        const int id = nextId_++;
        connection->id = id;
        connection->socket = socket;
        socket->setParent(this);
        socket->setReadBufferSize(kReadBufferBytes);
        connect(socket, &QLocalSocket::readyRead, this, [this, id] { Read(id); });
        connect(socket, &QLocalSocket::disconnected, this, [this, id] { Drop(id); });
        connections_[id] = std::move(connection);
        audience_.Connect(id);
        log_.Line("#" + std::to_string(id) + " connected");
    }
}

void Server::Read(int id)
{
    // Time first, so a reply reflects the present; catching up may cut off
    // a connection that reads nothing, this one included.
    if (beforeRead_) beforeRead_();
    const auto found = connections_.find(id);
    if (found == connections_.end()) return;
    Connection& connection = *found->second;
    const QByteArray bytes = connection.socket->readAll();
    connection.decoder.Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (connection.decoder.IgnoredLines() != connection.ignoredSeen) {
        log_.Line("#" + std::to_string(id) + " ignored " +
                  std::to_string(connection.decoder.IgnoredLines() - connection.ignoredSeen) + " bad line(s)");
        connection.ignoredSeen = connection.decoder.IgnoredLines();
    }
    while (connection.decoder.HasFrame()) {
        Handle(id, connection.decoder.TakeFrame());
        // Delivering may have cut this very connection off.
        if (connections_.find(id) == connections_.end()) return;
    }
    if (afterRead_) afterRead_();
}

void Server::Handle(int id, const wire::Frame& frame)
{
    if (verbose_) LogFrame(id, '<', wire::Encode(frame));
    switch (frame.kind) {
    case wire::FrameKind::Open: audience_.Open(id, frame.device, frame.text); break;
    case wire::FrameKind::Send: Deliver(audience_.Command(id, frame.device, frame.text)); break;
    case wire::FrameKind::Msg: break; // a saver has no business sending these
    }
}

void Server::Drop(int id)
{
    const auto found = connections_.find(id);
    if (found == connections_.end()) return;
    QLocalSocket* socket = found->second->socket;
    QObject::disconnect(socket, nullptr, this, nullptr);
    socket->deleteLater();
    connections_.erase(found);
    audience_.Disconnect(id);
    log_.Line("#" + std::to_string(id) + " disconnected");
}

void Server::Deliver(const Outbox& out)
{
    for (const Outgoing& message : out) {
        const auto found = connections_.find(message.client);
        if (found == connections_.end()) continue;
        Send(*found->second, wire::EncodeMsg(kMessageDevice, message.message));
    }
}

void Server::Send(Connection& connection, const std::string& frame)
{
    if (frame.empty()) return;
    if (verbose_) LogFrame(connection.id, '>', frame);
    if (connection.socket->bytesToWrite() > kWriteBacklogBytes) {
        log_.Line("#" + std::to_string(connection.id) + " reads nothing; cut off");
        connection.socket->abort();
        return;
    }
    connection.socket->write(frame.data(), static_cast<qint64>(frame.size()));
}

void Server::LogFrame(int id, char direction, std::string_view frame) const
{
    if (!frame.empty() && frame.back() == '\n') frame.remove_suffix(1);
    // The frame as on the wire, TABs included; other control bytes are
    // spelled out so one frame stays one log line.
    std::string shown = "#" + std::to_string(id) + " " + direction + " ";
    static const char hex[] = "0123456789abcdef";
    for (unsigned char c : frame) {
        if (c < 0x20 && c != '\t') {
            shown += "\\x";
            shown += hex[c >> 4];
            shown += hex[c & 15];
        } else {
            shown += static_cast<char>(c);
        }
    }
    log_.Line(shown);
}

} // namespace jukebox
