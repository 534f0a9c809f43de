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
    const QCommandLineOption browserIntegration(
        u"browser-integration"_s,
        u"Set up your browsers for Korvalen's extension (install), undo that (remove), or tell "
        "what each browser still needs (status)."_s,
        u"install|remove|status"_s);
    parser.addOptions({quit, autostart, browserIntegration});

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
    const int requests = int(parser.isSet(quit)) + int(parser.isSet(autostart)) +
                         int(parser.isSet(browserIntegration));
    if (requests > 1)
        return answered(u"Give only one of --quit, --autostart and --browser-integration.\n"_s,
                        usageError);
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
    if (parser.isSet(browserIntegration)) {
        const QString value = parser.value(browserIntegration);
        if (value == u"install")
            return {Request::browserIntegrationInstall, 0, {}};
        if (value == u"remove")
            return {Request::browserIntegrationRemove, 0, {}};
        if (value == u"status")
            return {Request::browserIntegrationStatus, 0, {}};
        return answered(u"--browser-integration takes install, remove or status, not "_s + value +
                            u".\n"_s,
                        usageError);
    }
    return {};
}

} // namespace korvalen
