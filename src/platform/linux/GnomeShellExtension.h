#pragma once

#include "platform/linux/BoundedDBusCalls.h"
#include "support/Signal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QObject>

#include <optional>

namespace korvalen {

// Korvalen's extension inside GNOME Shell, as its users reach it over the session bus. GNOME
// Shell tells no outside program which window has the focus (on Wayland) and keeps the input
// sources to itself (everywhere); the extension, running inside the Shell, tells both and
// switches input sources on request. It answers only programs of the Shell's own user.
//
// Calls wait at most a short while for the Shell (see BoundedDBusCalls); whether the extension
// runs is known from the bus without asking the Shell.
class GnomeShellExtension final : public QObject {
    Q_OBJECT

public:
    static inline const QString serviceName = QStringLiteral("io.github.korvalen.Shell");
    static inline const QString objectPath = QStringLiteral("/io/github/korvalen/Shell");
    static inline const QString interfaceName = QStringLiteral("io.github.korvalen.Shell");
    // The directory name GNOME Shell knows the extension by.
    static inline const QString uuid = QStringLiteral("korvalen@korvalen.github.io");

    // A window as the Shell describes it; empty texts and 0 where it says nothing.
    struct Window {
        // The desktop entry GNOME Shell matched the window to, without ".desktop"; empty when
        // it matched none.
        QString applicationID;
        QString wmClass; // X11 WM_CLASS class, or a Wayland window's app_id
        QString wmClassInstance;
        quint32 processID = 0;
        QString title;

        bool isEmpty() const
        {
            return applicationID.isEmpty() && wmClass.isEmpty() && wmClassInstance.isEmpty() &&
                   processID == 0;
        }
        bool operator==(const Window&) const = default;
    };

    // GNOME's input sources in GNOME's order, with the one in use.
    struct InputSources {
        struct Source {
            QString gnomeIdentifier; // GNOME's own "type:id": "xkb:de+nodeadkeys", "ibus:pinyin"
            QString name;
            bool operator==(const Source&) const = default;
        };
        QList<Source> sources;
        int current = -1; // an index of `sources`, or -1 when none is in use
    };

    explicit GnomeShellExtension(QDBusConnection bus = QDBusConnection::sessionBus());

    // Whether the extension holds its name on the bus now.
    bool isRunning() const { return m_running; }

    // Asked without waiting: the window reaches `done` from the event loop, none when the call
    // failed; nothing does once this object is gone.
    void askForFocusedWindow(std::function<void(std::optional<Window>)> done);
    // The Shell's normal windows, in its order.
    std::optional<QList<Window>> windows();
    std::optional<InputSources> inputSources();
    bool activateSource(int index);

    // Each carries the newly focused window, empty when none has the focus.
    [[nodiscard]] Subscription subscribeToFocusChanges(std::function<void(const Window&)> handler)
    {
        return m_focusChanged.connect(std::move(handler));
    }
    // The source in use, or the list of sources, changed.
    [[nodiscard]] Subscription subscribeToSourceChanges(std::function<void()> handler)
    {
        return m_sourceChanged.connect(std::move(handler));
    }
    [[nodiscard]] Subscription subscribeToRunningChanges(std::function<void()> handler)
    {
        return m_runningChanged.connect(std::move(handler));
    }

    // The reading of a reply's window fields, public for the tests of malformed replies.
    static std::optional<Window> windowFrom(const QList<QVariant>& fields);
    static std::optional<InputSources> inputSourcesFrom(const QList<QVariant>& arguments);

private Q_SLOTS:
    void focusChanged(const QDBusMessage& message);
    void sourceChanged();

private:
    QDBusMessage methodCall(const QString& method) const;
    void setRunning(bool running);

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    BoundedDBusCalls m_calls;
    bool m_running = false;
    Signal<Window> m_focusChanged;
    Signal<> m_sourceChanged;
    Signal<> m_runningChanged;
};

} // namespace korvalen
