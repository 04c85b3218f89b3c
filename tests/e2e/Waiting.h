#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

namespace wendel::e2e {

using Millis = std::chrono::milliseconds;

// A sanitizer build starts, draws and ends several times more slowly. Every
// wait goes through here, so a limit given for a normal build stretches with
// it; a passing run never waits a limit out.
Millis Patience(Millis normalBuild);

// Polls `done` until it holds or the time is up; true when it held.
bool PollUntil(Millis timeout, const std::function<bool()>& done, Millis interval = Millis(20));

// Makes a child die with the test process, so a test binary killed by ctest's
// timeout leaves no X server or saver behind.
void DieWithParent(QProcess& process);

struct ToolResult {
    bool finished = false; // false: it did not end in time and was killed
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    bool Succeeded() const { return finished && exitCode == 0; }
};

// Runs a helper program such as xdotool to its end, killing it when it takes
// longer than `timeout`.
ToolResult RunTool(const QString& program, const QStringList& args,
                   const QProcessEnvironment& env, Millis timeout);

} // namespace wendel::e2e
