#include "app/CommandLine.h"

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using Request = CommandLine::Request;

namespace {

CommandLine parse(QStringList arguments)
{
    arguments.prepend(u"korvalen"_s);
    return CommandLine::parse(arguments);
}

} // namespace

TEST(CommandLine, RequestsAndTheirMistakes)
{
    const struct {
        QStringList arguments;
        Request request;
        int exitCode;
    } cases[] = {
        {{}, Request::run, 0},
        {{u"--quit"_s}, Request::quit, 0},
        {{u"--autostart"_s, u"on"_s}, Request::autostartOn, 0},
        {{u"--autostart=off"_s}, Request::autostartOff, 0},
        {{u"--browser-integration"_s, u"install"_s}, Request::browserIntegrationInstall, 0},
        {{u"--browser-integration=remove"_s}, Request::browserIntegrationRemove, 0},
        {{u"--browser-integration=status"_s}, Request::browserIntegrationStatus, 0},
        {{u"--browser-integration=add"_s}, Request::answered, 2},
        {{u"--autostart=on"_s, u"--browser-integration=status"_s}, Request::answered, 2},
        {{u"--gnome-extension"_s, u"install"_s}, Request::gnomeExtensionInstall, 0},
        {{u"--gnome-extension=remove"_s}, Request::gnomeExtensionRemove, 0},
        {{u"--gnome-extension=status"_s}, Request::gnomeExtensionStatus, 0},
        {{u"--gnome-extension=enable"_s}, Request::answered, 2},
        {{u"--gnome-extension=status"_s, u"--browser-integration=status"_s}, Request::answered, 2},
        {{u"--help"_s}, Request::answered, 0},
        {{u"--version"_s}, Request::answered, 0},
        {{u"--autostart"_s, u"yes"_s}, Request::answered, 2},
        {{u"--autostart"_s}, Request::answered, 2},
        {{u"--quit"_s, u"--autostart=on"_s}, Request::answered, 2},
        {{u"--frobnicate"_s}, Request::answered, 2},
        {{u"rules"_s}, Request::answered, 2},
    };
    for (const auto& [arguments, request, exitCode] : cases) {
        const CommandLine commandLine = parse(arguments);
        const std::string context = arguments.join(u' ').toStdString();
        EXPECT_EQ(commandLine.request, request) << context;
        EXPECT_EQ(commandLine.exitCode, exitCode) << context;
        if (request == Request::answered) {
            EXPECT_FALSE(commandLine.output.isEmpty()) << context;
        }
    }
    EXPECT_TRUE(parse({u"--help"_s}).output.contains(u"--autostart <on|off>"_s));
    EXPECT_TRUE(
        parse({u"--help"_s}).output.contains(u"--gnome-extension <install|remove|status>"_s));
    EXPECT_EQ(parse({u"--gnome-extension=enable"_s}).output,
              u"--gnome-extension takes install, remove or status, not enable.\n"_s);
    EXPECT_TRUE(parse({u"--frobnicate"_s}).output.startsWith(u"Unknown option 'frobnicate'"_s));
}
