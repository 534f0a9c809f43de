#pragma once

#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <memory>

namespace korvalen {

// One instance of each port, for one operating system (or for tests).
struct Platform {
    std::unique_ptr<UserDefaults> userDefaults;
    std::unique_ptr<Workspace> workspace;

    // The platform of the running application. main() installs it before anything else runs;
    // the process-wide singletons are built from it.
    static void install(std::unique_ptr<Platform> platform);
    static Platform& shared();
};

// The platform of the operating system the program was built for; each backend defines it.
std::unique_ptr<Platform> makeNativePlatform();

} // namespace korvalen
