#pragma once

#include <QStringList>

namespace korvalen {

// Who started the native messaging host, as the browser tells it on the command line.
class ExtensionCaller {
public:
    // Whether the arguments (the program's name first) are those a browser passes when
    // Korvalen's extension connects: Chromium-family browsers pass the extension's origin
    // (and, on Windows, the parent window), Firefox the path of the host's manifest and the
    // extension's ID.
    static bool isKorvalenExtension(const QStringList& arguments);
};

} // namespace korvalen
