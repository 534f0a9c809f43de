#pragma once

#include "support/Subscription.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace korvalen {

// Korvalen's extension for a desktop shell that tells which window is in front, and which input
// sources there are, only to its own extensions (GNOME Shell). Puts the extension where the
// shell finds it and enables it, takes it back, tells where it stands, and whether this session
// needs it and runs it now.
class DesktopShellExtension {
public:
    enum class Outcome {
        installed,
        removed,
        nothingToRemove,
        notOurs,          // a folder of the extension's name that Korvalen did not put there
        unknownShell,     // neither the running shell nor the installed one told its version
        unsupportedShell, // a version older than any copy of the extension
        filesMissing,     // the copy of the extension for that version is not installed
        failed,
    };

    // Whether the shell's own settings list the extension as enabled.
    enum class Setting {
        noSettings, // the shell's settings schema is not installed: the shell is not either
        enabled,
        notEnabled,
        refused, // the change was not stored (a locked key, or no settings daemon)
    };

    // When the shell acts on a change: it loads extensions only as it starts.
    enum class TakesEffect {
        now,
        afterShellRestart, // the shell can restart without ending the session (GNOME on X11)
        afterLogin,
    };

    // What the running shell says of the extension.
    enum class ShellState {
        notAsked, // the shell does not run, or did not answer
        unknown,  // it knows no extension of that name: it was not there when the shell started
        enabled,
        disabled,
        error,
        outOfDate,   // made for other versions of the shell
        initialized, // loaded, never enabled
        other,
    };

    struct Change {
        Outcome outcome = Outcome::failed;
        QString shellVersion; // empty when unknown
        QString folder;       // the current user's copy
        // What was wrong, in words, when the outcome is a failure.
        QString reason;
        bool replacedEarlierCopy = false;
        Setting setting = Setting::noSettings;
        TakesEffect takesEffect = TakesEffect::afterLogin;
        // The shell is set to leave the user's extensions off, whatever the list says.
        bool userExtensionsOff = false;
        // Korvalen's copies for all users, which remove() leaves to the package they came with.
        QStringList systemCopies;
    };

    struct Status {
        bool shellRunning = false;
        QString shellVersion; // the running shell's, else the installed one's; empty when unknown
        QString flavour;      // the copy of the extension for that version; empty when none fits
        QString userCopy;     // the current user's copy; empty when there is none
        bool userCopyIsOurs = false;
        QStringList systemCopies;
        Setting setting = Setting::noSettings;
        bool userExtensionsOff = false;
        bool running = false; // the extension answers for Korvalen now
        // The running shell can restart without ending the session (GNOME on X11).
        bool shellRestartsInPlace = false;
        ShellState shellState = ShellState::notAsked;
        int shellStateCode = 0; // the shell's own number for shellState
        QString shellError;
    };

    DesktopShellExtension() = default;
    DesktopShellExtension(const DesktopShellExtension&) = delete;
    DesktopShellExtension& operator=(const DesktopShellExtension&) = delete;
    virtual ~DesktopShellExtension() = default;

    // This session's shell tells windows and input sources to nobody but its extensions.
    virtual bool isNeeded() const = 0;
    virtual bool isRunning() const = 0;
    [[nodiscard]] virtual Subscription
    subscribeToRunningChanges(std::function<void()> handler) const = 0;

    // Puts the copy for the shell's version in the current user's folder, replacing an earlier
    // copy of Korvalen's but never a folder Korvalen did not put there, and enables it.
    virtual Change install() = 0;
    // Disables the extension and takes away the current user's copy if it is Korvalen's.
    virtual Change remove() = 0;
    virtual Status status() const = 0;
};

} // namespace korvalen
