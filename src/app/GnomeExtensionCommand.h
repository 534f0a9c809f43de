#pragma once

#include "app/CommandLine.h"
#include "platform/DesktopShellExtension.h"

#include <QTextStream>

namespace korvalen {

// `korvalen --gnome-extension install|remove|status`: carries it out and tells the user what
// was done and what is left for them to do, which is mostly to log out and back in: GNOME Shell
// loads extensions only when it starts.
class GnomeExtensionCommand {
public:
    // `extension` is none where the platform has no desktop shell extension. Returns the exit
    // code: non-zero when nothing could be installed or a change failed, with the reason on
    // `errors`.
    static int carryOut(CommandLine::Request request, DesktopShellExtension* extension,
                        QTextStream& output, QTextStream& errors);
};

} // namespace korvalen
