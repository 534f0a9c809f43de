#pragma once

#include "platform/linux/BoundedDBusCalls.h"
#include "support/Signal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace korvalen {

// The fcitx5 daemon's controller object, asked over the session bus without holding the main
// thread long (see BoundedDBusCalls), and the daemon's presence on the bus.
//
// A daemon counts as there once it has answered: fcitx5 takes its bus name first and loads its
// addons (dictionaries, a Rime deployment) before it answers anything, which can take seconds, and
// a call that ran out meanwhile would silence it for a quiet period. So a daemon that appears is
// asked once without waiting for the answer, and is not called until that answer (or failure)
// arrives. One already there when the controller is made is given one brief wait first.
//
// No call starts the daemon: the bus would launch fcitx5 for a call to its name (it is
// D-Bus-activatable), even on a desktop that uses another input method framework.
class Fcitx5Controller : public QObject {
    Q_OBJECT

public:
    static inline const QString serviceName = QStringLiteral("org.fcitx.Fcitx5");

    // One input method as the daemon describes it.
    struct InputMethod {
        QString uniqueName; // "keyboard-us", "pinyin"
        QString name;       // "Keyboard - English (US)"
        QString icon;       // an icon theme name, or an absolute file path
    };

    // How long a daemon that appeared is given to answer before it is called all the same.
    static constexpr int startupTimeoutMs = 30000;

    explicit Fcitx5Controller(QDBusConnection bus = QDBusConnection::sessionBus());

    const QDBusConnection& bus() const { return m_bus; }
    // The unique bus name of the daemon that has answered; empty when none is on the bus or the
    // one there has not answered yet.
    const QString& daemonConnection() const { return m_answeredConnection; }
    // The unique bus name of the daemon's process, whether it has answered or not.
    const QString& nameOwner() const { return m_owner; }

    // The unique names of the input methods of the current group, in the group's order.
    std::optional<QStringList> currentGroupInputMethods();
    // The input method the daemon offers under the unique name. The daemon's list of them is
    // long and changes only when addons come (with a restart, or a reload that also changes the
    // groups), so it is kept, and asked again only for a name missing from it, at most every
    // few seconds.
    std::optional<InputMethod> inputMethod(const QString& uniqueName);
    // The input method of the focused input context, else of the one focused last; empty before
    // any was focused.
    std::optional<QString> currentInputMethod();
    // Switches the focused input context (else the one focused last) to the input method, when
    // the current group holds it; true when the daemon took the request.
    bool setCurrentInputMethod(const QString& uniqueName);
    // The identity of the focused input context; empty when none has the focus.
    std::optional<QString> focusedInputContext();

    // Called from the event loop when daemonConnection() changed: the daemon came (and answered),
    // went or was replaced.
    [[nodiscard]] Subscription subscribeToDaemonChanges(std::function<void()> handler) const
    {
        return m_daemonChanged.connect(std::move(handler));
    }
    // Called from the event loop when the daemon says that its groups changed.
    [[nodiscard]] Subscription subscribeToGroupChanges(std::function<void()> handler) const
    {
        return m_groupsChanged.connect(std::move(handler));
    }

private Q_SLOTS:
    void onInputMethodGroupsChanged();

private:
    std::optional<QList<QVariant>> call(const QString& method, const QVariantList& arguments = {});
    static QDBusMessage probeOf(const QString& owner);
    void setOwner(const QString& owner);
    void awaitAnswer(const QString& owner);
    void setAnsweredConnection(const QString& connection);
    void forgetInputMethods();

    QDBusConnection m_bus;
    BoundedDBusCalls m_daemonCalls;
    BoundedDBusCalls m_busCalls;
    QDBusServiceWatcher m_daemonWatcher;
    // The owner of the daemon's name, and the one of them that has answered.
    QString m_owner;
    QString m_answeredConnection;
    QHash<QString, InputMethod> m_inputMethods;
    // Until when the list above counts as just asked; expired when it was never asked.
    QDeadlineTimer m_inputMethodsAskedRecently{0};
    Signal<> m_daemonChanged;
    Signal<> m_groupsChanged;
};

} // namespace korvalen
