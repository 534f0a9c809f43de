#pragma once

#include "support/Signal.h"

#include <QList>
#include <QString>

#include <optional>

namespace korvalen {

// One running application as the workspace sees it.
struct RunningApplication {
    enum class ActivationPolicy {
        regular,    // has ordinary windows the user switches between
        accessory,  // tray or menu-bar helper with occasional windows
        prohibited, // background only
    };

    std::optional<QString> bundleID; // none when the application has no identifier
    QString localizedName;
    QString bundlePath; // the bundle (macOS) or desktop entry (Linux); empty when unknown
    ActivationPolicy activationPolicy = ActivationPolicy::regular;

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

// The applications of the user's session: which one is in front, which are running, and where an
// application is installed. Announces every activation on the main thread.
class Workspace {
public:
    virtual ~Workspace() = default;

    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    virtual QList<RunningApplication> runningApplications() const = 0;
    // The bundle (macOS) or desktop entry (Linux) of an installed application, or none.
    virtual std::optional<QString> pathForApplication(const QString& bundleID) const = 0;
    // The icon of the application at `bundlePath` as the platform names it: on Linux the desktop
    // entry's Icon value, an icon theme name or the absolute path of an image. None when the
    // application names no icon or cannot be read.
    virtual std::optional<QString> iconNameForApplicationAt(const QString& bundlePath) const = 0;

    std::optional<QString> frontmostBundleID() const
    {
        const auto application = frontmostApplication();
        return application ? application->bundleID : std::nullopt;
    }

    // Called after each activation of any application.
    [[nodiscard]] Subscription subscribeToActivations(std::function<void()> handler) const
    {
        return m_activations.connect(std::move(handler));
    }

protected:
    void announceActivation() const { m_activations.emit(); }

private:
    Signal<> m_activations;
};

} // namespace korvalen
