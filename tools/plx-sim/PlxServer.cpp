#include "PlxServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocalSocket>
#include <QSocketNotifier>

#include <cerrno>
#include <charconv>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace plxsim {

namespace {

// A saver that stops reading is cut off rather than hoarded for.
constexpr qint64 kWriteBacklogBytes = 4 * 1024 * 1024;
constexpr qint64 kReadBufferBytes = 256 * 1024;

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

} // namespace

PlxServer::PlxServer(Simulation& simulation, bool verbose) : simulation_(simulation), verbose_(verbose)
{
    clock_.start();
    tick_.setSingleShot(true);
    connect(&tick_, &QTimer::timeout, this, [this] {
        CatchUp();
        Schedule();
    });
    connect(&server_, &QLocalServer::newConnection, this, [this] { Accept(); });
    Schedule();
}

PlxServer::~PlxServer()
{
    for (auto& [id, connection] : connections_) QObject::disconnect(connection->socket, nullptr, this, nullptr);
}

bool PlxServer::Listen(const QString& endpoint, QString& error)
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
        Log("replaced a stale socket at " + path.toStdString());
    }
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(endpoint)) {
        error = QStringLiteral("cannot listen on ") + endpoint + QStringLiteral(": ") + server_.errorString();
        return false;
    }
    // Only its owner may talk to the jukebox.
    ::chmod(path.constData(), S_IRUSR | S_IWUSR);
    Log("listening on " + path.toStdString());
    return true;
}

void PlxServer::Accept()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        auto connection = std::make_unique<Connection>();
        const int id = nextId_++;
        connection->id = id;
        connection->socket = socket;
        socket->setParent(this);
        socket->setReadBufferSize(kReadBufferBytes);
        connect(socket, &QLocalSocket::readyRead, this, [this, id] { Read(id); });
        connect(socket, &QLocalSocket::disconnected, this, [this, id] { Drop(id); });
        connections_[id] = std::move(connection);
        simulation_.Connect(id);
        Log("#" + std::to_string(id) + " connected");
    }
}

void PlxServer::Read(int id)
{
    // Time first, so a reply reflects the present; catching up may cut off
    // a connection that reads nothing, this one included.
    CatchUp();
    const auto found = connections_.find(id);
    if (found == connections_.end()) return;
    Connection& connection = *found->second;
    const QByteArray bytes = connection.socket->readAll();
    connection.decoder.Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (connection.decoder.IgnoredLines() != connection.ignoredSeen) {
        Log("#" + std::to_string(id) + " ignored " +
            std::to_string(connection.decoder.IgnoredLines() - connection.ignoredSeen) + " bad line(s)");
        connection.ignoredSeen = connection.decoder.IgnoredLines();
    }
    while (connection.decoder.HasFrame()) {
        const wire::Frame frame = connection.decoder.TakeFrame();
        if (verbose_) LogFrame(id, '<', wire::Encode(frame));
        switch (frame.kind) {
        case wire::FrameKind::Open: simulation_.Open(id, frame.device, frame.text); break;
        case wire::FrameKind::Send: Deliver(simulation_.Command(id, frame.device, frame.text)); break;
        case wire::FrameKind::Msg: break; // a saver has no business sending these
        }
        // Delivering may have cut this very connection off.
        if (connections_.find(id) == connections_.end()) return;
    }
    Schedule();
}

void PlxServer::Drop(int id)
{
    const auto found = connections_.find(id);
    if (found == connections_.end()) return;
    QLocalSocket* socket = found->second->socket;
    QObject::disconnect(socket, nullptr, this, nullptr);
    socket->deleteLater();
    connections_.erase(found);
    simulation_.Disconnect(id);
    Log("#" + std::to_string(id) + " disconnected");
}

void PlxServer::Deliver(const Outbox& out)
{
    for (const Outgoing& message : out) {
        const auto found = connections_.find(message.client);
        if (found == connections_.end()) continue;
        Send(*found->second, wire::EncodeMsg(kMessageDevice, message.message));
    }
}

void PlxServer::Send(Connection& connection, const std::string& frame)
{
    if (frame.empty()) return;
    if (verbose_) LogFrame(connection.id, '>', frame);
    if (connection.socket->bytesToWrite() > kWriteBacklogBytes) {
        Log("#" + std::to_string(connection.id) + " reads nothing; cut off");
        connection.socket->abort();
        return;
    }
    connection.socket->write(frame.data(), static_cast<qint64>(frame.size()));
}

void PlxServer::CatchUp()
{
    const std::int64_t now = clock_.elapsed();
    const std::int64_t step = now - advancedTo_;
    advancedTo_ = now;
    Deliver(simulation_.Advance(step));
}

void PlxServer::Schedule()
{
    const std::optional<std::int64_t> next = simulation_.RealMsUntilNextEvent();
    if (!next) {
        tick_.stop();
        return;
    }
    tick_.start(static_cast<int>(std::clamp<std::int64_t>(*next, 1, 60 * 60 * 1000)));
}

void PlxServer::Control(const std::string& verb)
{
    if (verb.empty()) return;
    if (verb == "quit") {
        Log("quit");
        QCoreApplication::quit();
        return;
    }
    CatchUp();
    bool known = false;
    const Outbox out = simulation_.Control(verb, &known);
    if (!known) {
        Log("unknown control '" + verb + "': use play, pause, stop, next, prev or quit");
        return;
    }
    Log(verb);
    Deliver(out);
    Schedule();
}

void PlxServer::RunScript(const std::vector<ScriptStep>& steps)
{
    for (const ScriptStep& step : steps) {
        const std::int64_t wait = std::max<std::int64_t>(0, step.atMs - clock_.elapsed());
        // A coarse timer may fire up to 5 % early, which reorders close steps.
        QTimer::singleShot(static_cast<int>(wait), Qt::PreciseTimer, this,
                           [this, verb = step.verb] { Control(verb); });
    }
}

void PlxServer::ReadControlFrom(int fd)
{
    controlFd_ = fd;
    control_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(control_, &QSocketNotifier::activated, this, [this] { ReadControl(); });
}

void PlxServer::ReadControl()
{
    char buffer[512];
    const ssize_t got = ::read(controlFd_, buffer, sizeof buffer);
    if (got <= 0) {
        // End of input is not an order to quit: the simulator may run detached.
        if (got == 0 || errno != EINTR) control_->setEnabled(false);
        return;
    }
    controlLine_.append(buffer, static_cast<std::size_t>(got));
    std::size_t lf;
    while ((lf = controlLine_.find('\n')) != std::string::npos) {
        const std::string verb(Trim(std::string_view(controlLine_).substr(0, lf)));
        controlLine_.erase(0, lf + 1);
        Control(verb);
    }
    if (controlLine_.size() > 4096) controlLine_.clear();
}

void PlxServer::Log(const std::string& line)
{
    const std::int64_t ms = clock_.elapsed();
    std::printf("[%5lld.%03lld] %s\n", static_cast<long long>(ms / 1000), static_cast<long long>(ms % 1000),
                line.c_str());
    std::fflush(stdout);
}

void PlxServer::LogFrame(int id, char direction, std::string_view frame)
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
    Log(shown);
}

} // namespace plxsim
