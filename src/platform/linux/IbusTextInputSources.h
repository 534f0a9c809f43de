#pragma once

#include "platform/linux/IbusDaemonConnection.h"
#include "platform/linux/IbusEngineDescription.h"
#include "platform/linux/IbusEngineList.h"
#include "platform/linux/InputMethodFramework.h"

#include <QHash>

#include <vector>

namespace korvalen {

// The input sources of IBus: the engines the user enabled, in the user's order, with the names
// and icons the daemon gives them; the current source is the daemon's global engine, and
// selecting a source makes its engine the global one. The daemon announces every change of its
// global engine, and changes of the user's list are announced as well, since they can change
// what the catalogue offers.
//
// On GNOME the desktop's own list of input sources is the user's list, and GNOME Shell switches
// them itself; its keyboard layouts are given as the IBus engine for the same layout, when the
// daemon has one.
class IbusTextInputSources final : public InputMethodFramework {
public:
    // Statuses of select() other than selectAccepted.
    enum SelectStatus {
        // The handle is not one of ours, or its engine is no longer among the enabled ones.
        notEnabled = 1,
        // The daemon is not running, refused the engine or did not answer in time.
        notTaken = 2,
    };

    IbusTextInputSources();

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
    class EngineSource;
    static const EngineSource* engineSourceOf(const Handle& source);

    // The names of the enabled engines, in the user's order.
    QStringList enabledEngineNames();
    std::optional<QString> engineForLayout(const QString& layout, const QString& variant);
    void learnLayoutEngines(const QVariant& engines);

    IbusDaemonConnection m_daemon;
    IbusEngineList m_engineList;
    // "layout(variant)" → the daemon's engine for it, learnt once per connection since the daemon
    // describes all of its (about a thousand) engines at once.
    QHash<QString, QString> m_layoutEngines;
    std::optional<quint64> m_layoutEnginesConnection;
    std::optional<quint64> m_layoutEnginesRequested;
    std::vector<Subscription> m_subscriptions;
};

} // namespace korvalen
