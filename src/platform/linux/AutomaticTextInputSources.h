#pragma once

#include "platform/linux/InputMethodFramework.h"

#include <memory>
#include <vector>

namespace korvalen {

// The input sources of the first input method framework in the order given whose daemon runs
// now, and the keyboard layouts when none does. The choice is made afresh at every call: an
// input method daemon and Korvalen both start at login in no set order, and a daemon may be
// restarted or replaced while Korvalen runs. A change of choice is announced as a change of the
// selected source; changes are passed on only from the backend in use, since an input method
// moves the layouts underneath it as it switches.
class AutomaticTextInputSources final : public TextInputSources {
public:
    AutomaticTextInputSources(std::vector<std::unique_ptr<InputMethodFramework>> frameworks,
                              std::unique_ptr<TextInputSources> layouts, QString layoutsName);

    // The name of the backend in use now: a framework's, or the layouts'.
    QString backendInUseName();

    QList<Handle> enabledSources() override;
    Handle currentKeyboardSource() override;
    int select(const Handle& source) override;
    void setChangeNotificationsNeeded(bool needed) override;
    bool keepsSourcePerWindow() override;

    // A handle is read by the backend that made it, whichever is in use now.
    std::optional<bool> isSelectCapable(const Handle& source) const override;
    std::optional<QString> category(const Handle& source) const override;
    std::optional<QString> identifier(const Handle& source) const override;
    std::optional<QString> localizedName(const Handle& source) const override;
    std::optional<QString> inputMethodBundleID(const Handle& source) const override;
    std::optional<QUrl> iconURL(const Handle& source) const override;

private:
    TextInputSources& backendInUse();
    void followBackendInUse();
    template <typename T>
    std::optional<T> firstAnswer(std::optional<T> (TextInputSources::*property)(const Handle&)
                                     const,
                                 const Handle& source) const;

    std::vector<std::unique_ptr<InputMethodFramework>> m_frameworks;
    std::unique_ptr<TextInputSources> m_layouts;
    QString m_layoutsName;
    const TextInputSources* m_lastInUse = nullptr;
    std::vector<Subscription> m_subscriptions;
};

} // namespace korvalen
