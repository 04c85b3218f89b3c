#pragma once

#include "Script.h"
#include "Simulation.h"
#include "link/Wire.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QLocalSocket;
class QSocketNotifier;

namespace plxsim {

namespace wire = wendel::wire;

// Serves the simulation on a local socket to any number of savers, and takes
// control verbs from standard input and a script.
class PlxServer final : public QObject {
public:
    PlxServer(Simulation& simulation, bool verbose);
    ~PlxServer() override;

    // Takes the endpoint, replacing a socket that a dead process left behind.
    // Refuses when a live jukebox answers there or the path is not a socket.
    bool Listen(const QString& endpoint, QString& error);
    void ReadControlFrom(int fd);
    void RunScript(const std::vector<ScriptStep>& steps);
    void Control(const std::string& verb);

private:
    struct Connection {
        int id = 0;
        QLocalSocket* socket = nullptr;
        wire::FrameDecoder decoder;
        std::size_t ignoredSeen = 0;
    };

    void Accept();
    void Read(int id);
    void Drop(int id);
    void Deliver(const Outbox& out);
    void Send(Connection& connection, const std::string& frame);
    void CatchUp();
    void Schedule();
    void ReadControl();
    void Log(const std::string& line);
    void LogFrame(int id, char direction, std::string_view frame);

    Simulation& simulation_;
    bool verbose_;
    QLocalServer server_;
    std::map<int, std::unique_ptr<Connection>> connections_;
    int nextId_ = 1;
    QElapsedTimer clock_;
    std::int64_t advancedTo_ = 0;
    QTimer tick_;
    QSocketNotifier* control_ = nullptr;
    int controlFd_ = -1;
    std::string controlLine_;
};

} // namespace plxsim
