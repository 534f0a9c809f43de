#pragma once

#include "app/CommandLine.h"
#include "platform/BrowserIntegration.h"

#include <QTextStream>

namespace korvalen {

// `korvalen --browser-integration install|remove|status`: carries it out and tells the user,
// browser by browser, what was done and what is left for them to do.
class BrowserIntegrationCommand {
public:
    // `integration` is none where the platform has no browser integration. Returns the exit
    // code: non-zero when a change failed or there was nothing to install to, with the reason
    // on `errors`.
    static int carryOut(CommandLine::Request request, BrowserIntegration* integration,
                        QTextStream& output, QTextStream& errors);
};

} // namespace korvalen
