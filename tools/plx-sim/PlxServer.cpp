#include "PlxServer.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace plxsim {

namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

} // namespace

PlxServer::PlxServer(Simulation& simulation, bool verbose)
    : simulation_(simulation), server_(simulation.Clients(), log_, verbose)
{
    tick_.setSingleShot(true);
    connect(&tick_, &QTimer::timeout, this, [this] {
        CatchUp();
        Schedule();
    });
    server_.SetAroundRead([this] { CatchUp(); }, [this] { Schedule(); });
    Schedule();
}

void PlxServer::CatchUp()
{
    const std::int64_t now = log_.Elapsed();
    const std::int64_t step = now - advancedTo_;
    advancedTo_ = now;
    server_.Deliver(simulation_.Advance(step));
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
        log_.Line("quit");
        QCoreApplication::quit();
        return;
    }
    CatchUp();
    bool known = false;
    const Outbox out = simulation_.Control(verb, &known);
    if (!known) {
        log_.Line("unknown control '" + verb + "': use play, pause, stop, next, prev or quit");
        return;
    }
    log_.Line(verb);
    server_.Deliver(out);
    Schedule();
}

void PlxServer::RunScript(const std::vector<ScriptStep>& steps)
{
    for (const ScriptStep& step : steps) {
        const std::int64_t wait = std::max<std::int64_t>(0, step.atMs - log_.Elapsed());
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

} // namespace plxsim
