#include "Options.h"

#include "TrivoxEndpoint.h"

#include <QCoreApplication>

#include <cstdio>
#include <utility>

namespace jukebox {

Options::Options(QString program, const QString& description)
    : program_(std::move(program)),
      endpoint_(QStringLiteral("endpoint"), QStringLiteral("Socket to listen on (default: as the saver resolves it)."),
                QStringLiteral("path")),
      verbose_(QStringLiteral("verbose"), QStringLiteral("Log every frame."))
{
    QCoreApplication::setApplicationName(program_);
    parser_.setApplicationDescription(description);
    parser_.addHelpOption();
    parser_.addOptions({endpoint_, verbose_});
}

bool Options::Process(const QCoreApplication& app)
{
    if (!parser_.parse(app.arguments())) {
        Fail(parser_.errorText());
        return false;
    }
    if (parser_.isSet(QStringLiteral("help"))) parser_.showHelp(0);
    if (parser_.isSet(QStringLiteral("help-all"))) parser_.showHelp(0);
    if (parser_.positionalArguments().isEmpty()) return true;
    Fail(QStringLiteral("unexpected argument ") + parser_.positionalArguments().first());
    return false;
}

QString Options::Endpoint() const
{
    return parser_.isSet(endpoint_) ? parser_.value(endpoint_) : wendel::TrivoxEndpoint();
}

int Options::Fail(const QString& message) const
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(program_), qPrintable(message));
    return 2;
}

} // namespace jukebox
