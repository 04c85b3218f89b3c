#pragma once

#include "Script.h"
#include "Server.h"
#include "Simulation.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <string>
#include <vector>

class QSocketNotifier;

namespace plxsim {

// Serves the simulation through the shared jukebox server, runs its clock, and
// takes control verbs from standard input and a script.
class PlxServer final : public QObject {
public:
    PlxServer(Simulation& simulation, bool verbose);

    bool Listen(const QString& endpoint, QString& error) { return server_.Listen(endpoint, error); }
    void ReadControlFrom(int fd);
    void RunScript(const std::vector<ScriptStep>& steps);
    void Control(const std::string& verb);

private:
    void CatchUp();
    void Schedule();
    void ReadControl();

    Simulation& simulation_;
    jukebox::Log log_;
    jukebox::Server server_;
    std::int64_t advancedTo_ = 0;
    QTimer tick_;
    QSocketNotifier* control_ = nullptr;
    int controlFd_ = -1;
    std::string controlLine_;
};

} // namespace plxsim
