#include "platform/macos/CocoaWorkspace.h"

#import <AppKit/AppKit.h>

namespace korvalen {

namespace {

RunningApplication::ActivationPolicy activationPolicyOf(NSRunningApplication* application)
{
    switch (application.activationPolicy) {
    case NSApplicationActivationPolicyRegular:
        return RunningApplication::ActivationPolicy::regular;
    case NSApplicationActivationPolicyAccessory:
        return RunningApplication::ActivationPolicy::accessory;
    case NSApplicationActivationPolicyProhibited:
        break;
    }
    // A policy added after this was written asks for less than an accessory's, if anything.
    return RunningApplication::ActivationPolicy::prohibited;
}

RunningApplication describe(NSRunningApplication* application)
{
    NSString* bundleID = application.bundleIdentifier;
    return RunningApplication{
        bundleID ? std::optional(QString::fromNSString(bundleID)) : std::nullopt,
        QString::fromNSString(application.localizedName),
        QString::fromNSString(application.bundleURL.path),
        activationPolicyOf(application),
    };
}

} // namespace

// The token of the block observer, which the notification center keeps until it is removed.
struct CocoaWorkspace::ActivationObserver {
    id token;
};

CocoaWorkspace::CocoaWorkspace()
    : m_activationObserver(std::make_unique<ActivationObserver>())
{
    m_activationObserver->token = [NSWorkspace.sharedWorkspace.notificationCenter
        addObserverForName:NSWorkspaceDidActivateApplicationNotification
                    object:nil
                     queue:NSOperationQueue.mainQueue
                usingBlock:^(NSNotification*) {
                  announceActivation();
                }];
}

CocoaWorkspace::~CocoaWorkspace()
{
    [NSWorkspace.sharedWorkspace.notificationCenter removeObserver:m_activationObserver->token];
}

std::optional<RunningApplication> CocoaWorkspace::frontmostApplication() const
{
    NSRunningApplication* frontmost = NSWorkspace.sharedWorkspace.frontmostApplication;
    if (!frontmost)
        return std::nullopt;
    return describe(frontmost);
}

QList<RunningApplication> CocoaWorkspace::runningApplications() const
{
    QList<RunningApplication> applications;
    for (NSRunningApplication* application in NSWorkspace.sharedWorkspace.runningApplications)
        applications.append(describe(application));
    return applications;
}

std::optional<QString> CocoaWorkspace::pathForApplication(const QString& bundleID) const
{
    NSURL* location =
        [NSWorkspace.sharedWorkspace URLForApplicationWithBundleIdentifier:bundleID.toNSString()];
    if (!location)
        return std::nullopt;
    return QString::fromNSString(location.path);
}

} // namespace korvalen
