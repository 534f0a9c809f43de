#pragma once

#include "platform/linux/GnomeShellExtension.h"
#include "platform/linux/InputMethodFramework.h"

#include <vector>

namespace korvalen {

// The input sources of GNOME, which GNOME Shell keeps and switches itself: its list (keyboard
// layouts and IBus engines, in the user's order), the one in use, and a switch made as if the
// user had picked the source in the Shell's own menu, all through Korvalen's extension. A source
// has the identifier the other backends give the same source: "xkb:de(nodeadkeys)" for GNOME's
// layout "de+nodeadkeys", the engine's name for an IBus engine.
//
// Counted as running while the extension runs.
class GnomeShellInputSources final : public InputMethodFramework {
public:
    enum SelectStatus {
        // The handle is not one of ours, or its source is no longer in GNOME's list.
        notListed = 1,
        // The extension is not running, or has not yet told the sources.
        notTaken = 2,
    };

    explicit GnomeShellInputSources(QDBusConnection bus = QDBusConnection::sessionBus());

    // The identifier of a source of GNOME's, given as GNOME's "type:id"; GNOME's own for a kind
    // of source that no other backend lists.
    static QString identifierOf(const QString& gnomeIdentifier);

    QString name() const override;
    bool isRunning() override;

    QList<Handle> enabledSources() override;
    Handle currentKeyboardSource() override;
    int select(const Handle& source) override;

    std::optional<bool> isSelectCapable(const Handle& source) const override;
    std::optional<QString> category(const Handle& source) const override;
    std::optional<QString> identifier(const Handle& source) const override;
    std::optional<QString> localizedName(const Handle& source) const override;
    std::optional<QString> inputMethodBundleID(const Handle& source) const override;
    std::optional<QUrl> iconURL(const Handle& source) const override;

private:
    class ShellSource;
    static const ShellSource* shellSourceOf(const Handle& source);

    GnomeShellExtension m_extension;
    std::vector<Subscription> m_subscriptions;
};

} // namespace korvalen
