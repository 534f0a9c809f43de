#pragma once

#include "platform/linux/Fcitx5ChangeWatcher.h"
#include "platform/linux/Fcitx5Controller.h"
#include "platform/linux/Fcitx5SwitchFollowThrough.h"
#include "platform/linux/InputMethodFramework.h"

#include <QTimer>

namespace korvalen {

// The input methods of fcitx5's current group, in the group's order, reached over the session
// bus. A source's identifier is the input method's unique name ("keyboard-us", "pinyin"), its name
// the one fcitx5 gives it, its icon the icon theme name or file fcitx5 names.
//
// The current source is the input method of the focused input context: fcitx5 keeps, per context
// (per window, unless its "share input state" option says otherwise), whether it types with the
// group's first input method or with the one chosen last, which all contexts share. A switch is
// followed through to a window whose context takes the focus a moment late (see
// Fcitx5SwitchFollowThrough), and a change is announced from the best news fcitx5 gives (see
// Fcitx5ChangeWatcher), when its groups change, and when the daemon comes, goes or is replaced.
// Every call waits on the daemon at most briefly (see BoundedDBusCalls); a daemon that is not
// running is never started.
class Fcitx5TextInputSources final : public InputMethodFramework {
public:
    // Statuses of select() other than selectAccepted.
    enum SelectStatus {
        // The handle is not one of ours, or the current group does not hold its input method.
        notInGroup = 1,
        // No daemon took the request: none runs, or it did not answer in time.
        notSent = 2,
    };

    explicit Fcitx5TextInputSources(QDBusConnection bus = QDBusConnection::sessionBus());

    QString name() const override;
    bool isRunning() override;

    QList<Handle> enabledSources() override;
    Handle currentKeyboardSource() override;
    // Accepted when fcitx5 switched the focused input context, or, with none focused, when it
    // answered: the context focused next within the follow-through is then switched.
    int select(const Handle& source) override;

    std::optional<bool> isSelectCapable(const Handle& source) const override;
    std::optional<QString> category(const Handle& source) const override;
    std::optional<QString> identifier(const Handle& source) const override;
    std::optional<QString> localizedName(const Handle& source) const override;
    std::optional<QString> inputMethodBundleID(const Handle& source) const override;
    std::optional<QUrl> iconURL(const Handle& source) const override;

    void setChangeNotificationsNeeded(bool needed) override;
    // Unless its "share input state" option says otherwise; either way, a switch on activation
    // that changes nothing costs one call.
    bool keepsSourcePerWindow() override { return true; }

    // For diagnostics: where news of a change comes from, and whether fcitx5 is being asked
    // repeatedly for want of news.
    Fcitx5ChangeWatcher::EventSource activeEventSource() const;
    bool isPolling() const;

private:
    class InputMethodSource;
    static const InputMethodSource* inputMethodSourceOf(const Handle& source);
    Handle makeSource(const QString& uniqueName);
    // Announces the current input method when it is not the one last announced.
    void checkCurrent();

    Fcitx5Controller m_controller;
    Fcitx5ChangeWatcher m_changes;
    Fcitx5SwitchFollowThrough m_followThrough;
    // The current input method as last announced; none when unknown.
    std::optional<QString> m_announcedCurrent;
    // Gathers news that arrive together into one look at the current input method.
    QTimer m_checkSoon;
    std::vector<Subscription> m_subscriptions;
};

} // namespace korvalen
