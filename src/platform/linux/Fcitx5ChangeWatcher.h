#pragma once

#include "platform/linux/BoundedDBusCalls.h"
#include "platform/linux/Fcitx5Controller.h"
#include "support/Signal.h"

#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QSet>
#include <QTimer>

namespace korvalen {

// Tells when fcitx5's current input method may have changed, from the best news the daemon gives.
//
// fcitx5 5.0 signals no switch to whoever asks: its controller has only InputMethodGroupsChanged,
// and an input context's CurrentIM signal goes to the context's owner alone. Two of its user
// interfaces broadcast on every switch and on every change of focus between input contexts:
//  - its tray icon (the notificationitem addon, shown with the classic user interface whenever a
//    StatusNotifierWatcher runs): NewIcon on /StatusNotifierItem, sent from a bus connection of its
//    own that the fcitx5 process opens while the icon is shown and closes when another user
//    interface takes over. That connection is told from other tray icons by its process.
//  - the KDE input method panel interface (the kimpanel addon, used instead of the classic one
//    while a panel owns org.kde.impanel, as Plasma's input method panel and GNOME Shell's kimpanel
//    extension do): UpdateProperty on /kimpanel, from the daemon's own connection, which owns
//    org.kde.kimpanel.inputmethod while that interface is in use.
// The panel interface counts as active while the daemon owns that name; the tray icon from when
// its connection is known to be the daemon's (by its registration with the StatusNotifierWatcher,
// or by its first news) until that connection leaves the bus. With neither active, and only while
// the daemon runs and someone needs the news, the current input method is asked for every
// pollIntervalMs instead.
//
// Korvalen never owns org.kde.impanel itself: fcitx5 would hand its candidate window over to it.
class Fcitx5ChangeWatcher : public QObject {
    Q_OBJECT

public:
    enum class EventSource { none, statusNotifierItem, inputMethodPanel };
    static constexpr int pollIntervalMs = 250;

    explicit Fcitx5ChangeWatcher(Fcitx5Controller& controller);

    // Whether anyone acts on news that no event source gives; asking repeatedly costs a wake-up
    // and a call four times a second, so it is done only while needed.
    void setNeeded(bool needed);
    EventSource activeEventSource() const;
    bool isPolling() const { return m_poll.isActive(); }

    // Called, from the event loop, whenever the current input method may have changed.
    [[nodiscard]] Subscription subscribeToNews(std::function<void()> handler) const
    {
        return m_news.connect(std::move(handler));
    }

private Q_SLOTS:
    void onTrayIconChanged(const QDBusMessage& message);
    void onTrayIconRegistered(const QString& item);
    void onPanelPropertyChanged(const QDBusMessage& message);

private:
    bool adoptTrayIconConnection(const QString& connection);
    void forgetTrayIconConnection();
    // The first value of the bus daemon's answer to `method` about `name`.
    std::optional<QVariant> askBus(const QString& method, const QString& name);
    std::optional<QString> ownerOf(const QString& name);
    std::optional<uint> processOf(const QString& connection);
    void updatePolling();

    Fcitx5Controller& m_controller;
    // The bus itself answers these, apart from the daemon's quiet periods.
    BoundedDBusCalls m_busCalls;
    bool m_needed = false;
    QTimer m_poll;

    QDBusServiceWatcher m_panelWatcher;
    QString m_panelConnection;

    QDBusServiceWatcher m_trayIconWatcher;
    QString m_trayIconConnection;
    // The daemon process's bus name and its process, and the connections whose tray icons are
    // another process's.
    QString m_daemonOwner;
    std::optional<uint> m_daemonProcess;
    QSet<QString> m_otherTrayIconConnections;

    Subscription m_daemonChanges;
    Signal<> m_news;
};

} // namespace korvalen
