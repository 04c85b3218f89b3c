#pragma once

// The command line every jukebox reads alike: its own options beside
// --endpoint, --verbose and --help, no stray arguments, and one way to say
// what is wrong.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

class QCoreApplication;

namespace jukebox {

class Options final {
public:
    Options(QString program, const QString& description);

    // Add the program's own options here before Process.
    QCommandLineParser& Parser() { return parser_; }
    // Parses the arguments: --help shows the options and ends the program;
    // an unknown option or a stray argument is reported and gives false.
    bool Process(const QCoreApplication& app);

    // --endpoint, else where the saver looks.
    QString Endpoint() const;
    bool Verbose() const { return parser_.isSet(verbose_); }

    // Tells the user on standard error; the exit code of a wrong start.
    int Fail(const QString& message) const;

private:
    QString program_;
    QCommandLineParser parser_;
    QCommandLineOption endpoint_;
    QCommandLineOption verbose_;
};

} // namespace jukebox
