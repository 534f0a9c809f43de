#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

constexpr int usageError = 2;

CommandLine answered(const QString& output, int exitCode = 0)
{
    return {CommandLine::Request::answered, exitCode, output};
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Keeps the keyboard input source right for each application and website.\n"
        "Without options, starts Korvalen in the tray, or opens the rules window of the "
        "Korvalen already running."_s);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption quit(u"quit"_s, u"Ask the Korvalen already running to quit."_s);
    const QCommandLineOption autostart(
        u"autostart"_s, u"Start Korvalen when you log in (on), or no longer (off)."_s, u"on|off"_s);
    parser.addOptions({quit, autostart});

    if (!parser.parse(arguments))
        return answered(parser.errorText() + u'\n' + parser.helpText(), usageError);
    if (!parser.positionalArguments().isEmpty())
        return answered(u"Unexpected argument: "_s + parser.positionalArguments().first() + u'\n' +
                            parser.helpText(),
                        usageError);
    if (parser.isSet(help))
        return answered(parser.helpText());
    if (parser.isSet(version))
        return answered(QCoreApplication::applicationName() + u' ' +
                        QCoreApplication::applicationVersion() + u'\n');
    if (parser.isSet(quit) && parser.isSet(autostart))
        return answered(u"--quit and --autostart cannot be combined.\n"_s, usageError);
    if (parser.isSet(quit))
        return {Request::quit, 0, {}};
    if (parser.isSet(autostart)) {
        const QString value = parser.value(autostart);
        if (value == u"on")
            return {Request::autostartOn, 0, {}};
        if (value == u"off")
            return {Request::autostartOff, 0, {}};
        return answered(u"--autostart takes on or off, not "_s + value + u".\n"_s, usageError);
    }
    return {};
}

} // namespace korvalen
