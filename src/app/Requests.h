#pragma once

#include "app/CommandLine.h"

namespace korvalen {

// Carries out a request of the command line other than running Korvalen: prints the answer to
// --help or --version or a mistake, asks the running Korvalen to quit, changes whether Korvalen
// starts at login, or sets up the browsers or GNOME Shell for its extensions. None of them needs
// a display. Returns the exit code.
int carryOut(const CommandLine& commandLine);

} // namespace korvalen
