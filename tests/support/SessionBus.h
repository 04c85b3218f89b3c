#pragma once

// A private D-Bus session bus for one test: Debian's dbus-daemon on a socket in the test's folder, ended with the
// test. It may be started late, so a client can be shown a bus that is not there yet.

#include <QProcess>

#include <sys/prctl.h>
#include <csignal>

namespace wendel::testing {

class SessionBus final {
public:
    explicit SessionBus(const QString& socketPath) : address_(QStringLiteral("unix:path=") + socketPath) {}
    ~SessionBus() { Stop(); }

    QString Address() const { return address_; }

    bool Start()
    {
        // Dies with the test, so a killed test leaves no daemon behind.
        daemon_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nosyslog"),
                       QStringLiteral("--print-address=1"), QStringLiteral("--address=") + address_});
        return daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(10000); // its address, once it listens
    }

    void Stop()
    {
        daemon_.kill();
        daemon_.waitForFinished(3000);
    }

private:
    QString address_;
    QProcess daemon_;
};

} // namespace wendel::testing
