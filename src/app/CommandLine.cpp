#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <array>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

constexpr int usageError = 2;

CommandLine answered(const QString& output, int exitCode = 0)
{
    return {CommandLine::Request::answered, exitCode, output};
}

// The value of an option that sets something up, undoes it or tells where it stands.
CommandLine setUpRequest(const QCommandLineOption& option, const QString& value,
                         std::array<CommandLine::Request, 3> installRemoveStatus)
{
    const std::array values{u"install"_s, u"remove"_s, u"status"_s};
    for (size_t i = 0; i < values.size(); ++i) {
        if (value == values[i])
            return {installRemoveStatus[i], 0, {}};
    }
    return answered(u"--"_s + option.names().constFirst() +
                        u" takes install, remove or status, not "_s + value + u".\n"_s,
                    usageError);
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
    const QCommandLineOption gnomeExtension(
        u"gnome-extension"_s,
        u"Install and enable Korvalen's GNOME Shell extension, which lets Korvalen see the front "
        "window and switch GNOME's input sources (install), take it away (remove), or tell what "
        "it still needs (status)."_s,
        u"install|remove|status"_s);
    parser.addOptions({quit, autostart, browserIntegration, gnomeExtension});

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
                         int(parser.isSet(browserIntegration)) + int(parser.isSet(gnomeExtension));
    if (requests > 1)
        return answered(u"Give only one of --quit, --autostart, --browser-integration and "
                        "--gnome-extension.\n"_s,
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
    if (parser.isSet(browserIntegration))
        return setUpRequest(browserIntegration, parser.value(browserIntegration),
                            {Request::browserIntegrationInstall, Request::browserIntegrationRemove,
                             Request::browserIntegrationStatus});
    if (parser.isSet(gnomeExtension))
        return setUpRequest(gnomeExtension, parser.value(gnomeExtension),
                            {Request::gnomeExtensionInstall, Request::gnomeExtensionRemove,
                             Request::gnomeExtensionStatus});
    return {};
}

} // namespace korvalen
