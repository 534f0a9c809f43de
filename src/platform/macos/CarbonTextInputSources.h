#pragma once

#include "platform/TextInputSources.h"

#include <CoreFoundation/CoreFoundation.h>
#include <QObject>

namespace korvalen {

// The keyboard input sources of macOS, through the Text Input Source Services of the Carbon
// framework. A handle keeps a reference to its TISInputSourceRef for as long as any copy of the
// handle lives. Every call must come from the main thread, as those services require of an
// application.
class CarbonTextInputSources final : public TextInputSources {
public:
    // Starts observing the system's notification of a change of the selected source.
    CarbonTextInputSources();
    ~CarbonTextInputSources() override;

    QList<Handle> enabledSources() override;
    Handle currentKeyboardSource() override;
    int select(const Handle& source) override;

    std::optional<bool> isSelectCapable(const Handle& source) const override;
    // The system's keyboard category reads as keyboardCategory, whatever its spelling.
    std::optional<QString> category(const Handle& source) const override;
    std::optional<QString> identifier(const Handle& source) const override;
    std::optional<QString> localizedName(const Handle& source) const override;
    std::optional<QString> inputMethodBundleID(const Handle& source) const override;
    std::optional<QUrl> iconURL(const Handle& source) const override;

private:
    static void selectedSourceChanged(CFNotificationCenterRef center, void* observer,
                                      CFNotificationName name, const void* object,
                                      CFDictionaryRef userInfo);

    // Pending announcements die with the backend.
    QObject m_announcementContext;
};

} // namespace korvalen
