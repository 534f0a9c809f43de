#pragma once

#include "platform/TextInputSources.h"

namespace korvalen {

// The input sources of an input method framework, whose daemon may be missing, start after
// Korvalen, restart or hang. Without its daemon a framework has no sources and no current source.
class InputMethodFramework : public TextInputSources {
public:
    // The framework's name for people: "IBus", "fcitx5".
    virtual QString name() const = 0;

    // Whether the daemon is there now, judged without a call that could wait on a hung daemon.
    virtual bool isRunning() = 0;

    // Called when isRunning() may have changed; from the event loop.
    [[nodiscard]] Subscription subscribeToRunningChanges(std::function<void()> handler) const
    {
        return m_runningChanged.connect(std::move(handler));
    }

protected:
    void announceRunningChanged() const { m_runningChanged.emit(); }

private:
    Signal<> m_runningChanged;
};

} // namespace korvalen
