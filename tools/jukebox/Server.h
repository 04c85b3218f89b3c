#pragma once

// The socket side of every jukebox: it takes the endpoint, serves any number
// of savers of its own user, cuts each byte stream into frames for the
// Audience and writes back what the Audience owes each of them.

#include "Audience.h"
#include "link/Wire.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

class QLocalSocket;

namespace jukebox {

// The jukebox's log: one line per event on standard output, stamped with the
// seconds since the start.
class Log final {
public:
    Log() { clock_.start(); }
    void Line(const std::string& line) const;
    std::int64_t Elapsed() const { return clock_.elapsed(); }

private:
    QElapsedTimer clock_;
};

class Server final : public QObject {
public:
    Server(Audience& audience, const Log& log, bool verbose);
    ~Server() override;

    // Takes the endpoint, replacing a socket that a dead process left behind.
    // Refuses when a live jukebox answers there or the path is not a socket.
    bool Listen(const QString& endpoint, QString& error);
    void Deliver(const Outbox& out);

    // Called before the frames a saver sent are handled, and after, so a
    // jukebox on a clock can bring its time up to date and plan its next tick.
    void SetAroundRead(std::function<void()> before, std::function<void()> after);

private:
    struct Connection {
        int id = 0;
        QLocalSocket* socket = nullptr;
        wendel::wire::FrameDecoder decoder;
        std::size_t ignoredSeen = 0;
    };

    void Accept();
    void Read(int id);
    void Handle(int id, const wendel::wire::Frame& frame);
    void Drop(int id);
    void Send(Connection& connection, const std::string& frame);
    void LogFrame(int id, char direction, std::string_view frame) const;

    Audience& audience_;
    const Log& log_;
    bool verbose_;
    QLocalServer server_;
    std::map<int, std::unique_ptr<Connection>> connections_;
    int nextId_ = 1;
    std::function<void()> beforeRead_;
    std::function<void()> afterRead_;
};

} // namespace jukebox
