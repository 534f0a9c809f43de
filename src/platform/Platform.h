#pragma once

#include "platform/ApplicationBundles.h"
#include "platform/BrowserIntegration.h"
#include "platform/BrowserScripting.h"
#include "platform/DesktopShellExtension.h"
#include "platform/LoginItems.h"
#include "platform/TextInputSources.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "support/Clock.h"

#include <memory>

namespace korvalen {

// One instance of each port, for one operating system (or for tests).
struct Platform {
    std::unique_ptr<UserDefaults> userDefaults;
    std::unique_ptr<TextInputSources> textInputSources;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<BrowserScripting> browserScripting;
    std::unique_ptr<ApplicationBundles> applicationBundles;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<LoginItems> loginItems; // none where Korvalen cannot start at login yet
    // None where Korvalen's browser extension has no native messaging host yet.
    std::unique_ptr<BrowserIntegration> browserIntegration;
    // None where no desktop shell keeps windows and input sources to its own extensions.
    std::unique_ptr<DesktopShellExtension> desktopShellExtension;
    // For the start line: which backends run where the platform has a choice, and why.
    QString backendsDescription;

    // The platform of the running application. main() installs it before anything else runs;
    // the process-wide singletons are built from it and keep references into it for the rest of
    // the process, so it is installed once: a later platform is refused with a warning, and the
    // first one stays.
    static void install(std::unique_ptr<Platform> platform);
    static Platform& shared();
};

// The platform of the operating system the program was built for; each backend defines it.
std::unique_ptr<Platform> makeNativePlatform();

} // namespace korvalen
