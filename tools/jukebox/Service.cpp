#include "Service.h"

#include <QCoreApplication>
#include <QFile>
#include <QStandardPaths>
#include <QSocketNotifier>

#include <csignal>
#include <unistd.h>

namespace jukebox {

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

} // namespace

Service::Service(Player& player, const Log& log, bool verbose, QObject* parent)
    : QObject(parent), audience_(player), server_(audience_, log, verbose), ticker_(this, [this](int seconds) {
          Outbox out;
          audience_.Time(out, FormatDuration(seconds));
          server_.Deliver(out);
      })
{
    setObjectName(QStringLiteral("service"));
}

void Service::StateChanged(PlayState state)
{
    Outbox out;
    audience_.StateChanged(out, state);
    server_.Deliver(out);
    if (state != PlayState::Playing) ticker_.Stop();
}

void Service::TrackStarted(const Track& track)
{
    Outbox out;
    audience_.TrackStarted(out, track);
    server_.Deliver(out);
}

void Service::Show(const Showing& was, const Showing& now, bool fresh)
{
    Outbox out;
    audience_.Show(out, was, now, fresh);
    server_.Deliver(out);
    if (now.state != PlayState::Playing) ticker_.Stop();
}

std::string SharedCoverFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                           QStringLiteral("/wendelsaver/covers");
    return QFile::encodeName(folder).toStdString();
}

bool QuitOnSignals()
{
    std::signal(SIGPIPE, SIG_IGN);
    if (::pipe(signalPipe) != 0) return false;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(),
                     [] { QCoreApplication::quit(); });
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    return true;
}

} // namespace jukebox
