#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace korvalen {

// What the user asked of `korvalen` on its command line.
struct CommandLine {
    enum class Request {
        run,          // start, or show the rules window of the Korvalen already running
        quit,         // ask the Korvalen already running to quit
        autostartOn,  // start Korvalen when the user logs in
        autostartOff, // no longer do so
        browserIntegrationInstall, // let the user's browsers start Korvalen's native host
        browserIntegrationRemove,  // no longer
        browserIntegrationStatus,  // tell where each browser stands
        gnomeExtensionInstall,     // put Korvalen's GNOME Shell extension in place and enable it
        gnomeExtensionRemove,      // take it away
        gnomeExtensionStatus,      // tell where it stands
        answered,                  // --help or --version: printed; nothing else to do
    };

    Request request = Request::run;
    int exitCode = 0;
    QString output; // what to print, for answered requests and errors

    // Reads the arguments (the first being the program) as command-line tools do: --help and
    // --version answer on standard output, a mistake is explained with exit code 2.
    static CommandLine parse(const QStringList& arguments);
};

} // namespace korvalen
