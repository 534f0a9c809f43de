#pragma once

#include "support/Signal.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

namespace korvalen {

// What the input source catalogue needs of the platform's keyboard input sources (keyboard
// layouts and input method modes).
//
// Sources are passed around as handles: counted references to an object that only the backend
// that made it can read. Every property of a source may be absent; a handle that another backend
// made, or a null handle, has none. All calls are made, and every notification is delivered, on
// the main thread.
class TextInputSources {
public:
    // A backend's own description of one input source.
    class Source {
    public:
        virtual ~Source() = default;
    };
    // A counted reference: copies share the source, and the last copy dropped releases it.
    using Handle = std::shared_ptr<const Source>;

    // The category of keyboard input sources. Backends report other kinds (palettes, handwriting
    // input) under other texts.
    static inline const QString keyboardCategory = QStringLiteral("TISCategoryKeyboardInputSource");

    // Status of a select() request that the platform accepted; any other value is a refusal.
    static constexpr int selectAccepted = 0;

    // The scheme of an icon URL that names an icon of the desktop's icon theme rather than a
    // file: "icon:fcitx-pinyin".
    static inline const QString themeIconScheme = QStringLiteral("icon");

    TextInputSources() = default;
    TextInputSources(const TextInputSources&) = delete;
    TextInputSources& operator=(const TextInputSources&) = delete;
    virtual ~TextInputSources() = default;

    // The sources the user has enabled, asked afresh, in the platform's order; empty when the
    // platform gives nothing.
    virtual QList<Handle> enabledSources() = 0;
    // The keyboard input source in use now; null when the platform cannot tell.
    virtual Handle currentKeyboardSource() = 0;
    // Asks the platform to switch to the source; selectAccepted when it took the request.
    virtual int select(const Handle& source) = 0;

    virtual std::optional<bool> isSelectCapable(const Handle& source) const = 0;
    virtual std::optional<QString> category(const Handle& source) const = 0;
    virtual std::optional<QString> identifier(const Handle& source) const = 0;
    virtual std::optional<QString> localizedName(const Handle& source) const = 0;
    // The bundle of the input method that provides the source, when one does.
    virtual std::optional<QString> inputMethodBundleID(const Handle& source) const = 0;
    virtual std::optional<QUrl> iconURL(const Handle& source) const = 0;

    // Whether the current source is the focused window's own (an input method that keeps one per
    // input field): right after an activation the source reported may still be the last
    // window's, so a source wanted for the new window is selected even when it reads as current.
    virtual bool keepsSourcePerWindow() { return false; }

    // Whether anyone acts on a change of the selected source that no activation explains (a
    // correction of drift). A backend whose platform announces no such change has to ask for it
    // repeatedly, and does so only while it is needed. Not needed until said otherwise.
    virtual void setChangeNotificationsNeeded(bool /*needed*/) {}

    // Called whenever the selected keyboard input source changes, whoever changed it (also after
    // an accepted select()). Always from the event loop, never inside a call to this object.
    [[nodiscard]] Subscription
    subscribeToSelectedKeyboardSourceChanges(std::function<void()> handler) const
    {
        return m_selectedKeyboardSourceChanged.connect(std::move(handler));
    }

protected:
    void announceSelectedKeyboardSourceChanged() const { m_selectedKeyboardSourceChanged.emit(); }

private:
    Signal<> m_selectedKeyboardSourceChanged;
};

} // namespace korvalen
