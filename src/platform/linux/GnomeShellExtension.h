#pragma once

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
// Nothing here waits for the Shell, whose main loop also draws the screen and may be busy for a
// while as windows open: what the Shell said last is kept, asked again in the background whenever
// the Shell announces a change, and changes are passed on once the new answer is in. Whether the
// extension runs is known from the bus without asking the Shell.
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

    // The window that had the focus when the Shell last said; none until it has said.
    const std::optional<Window>& focusedWindow() const { return m_focusedWindow; }
    // The Shell's normal windows as of the last change of focus, in its order.
    const QList<Window>& windows() const { return m_windows; }
    // As of the last change the Shell announced; none until it has answered.
    const std::optional<InputSources>& inputSources() const { return m_inputSources; }
    // Asks the Shell to switch to the source at the index; false when the extension does not
    // run. The switch is announced as a change once the Shell has made it.
    bool activateSource(int index);

    // Each carries the newly focused window, empty when none has the focus; also when the Shell
    // first says which window has the focus.
    [[nodiscard]] Subscription subscribeToFocusChanges(std::function<void(const Window&)> handler)
    {
        return m_focusChanged.connect(std::move(handler));
    }
    // The source in use, or the list of sources, changed (inputSources() has the news), or the
    // extension went.
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
    // Calls in the background; `replied` gets the reply's arguments, from the event loop, unless
    // the call failed or the extension has gone or come back since.
    void call(const QDBusMessage& request, std::function<void(const QList<QVariant>&)> replied);
    void askForFocusedWindow();
    void askForWindows();
    void askForInputSources();

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    bool m_running = false;
    // Counts the extension's comings and goings, so that a late answer to an earlier one is
    // dropped.
    quint64 m_generation = 0;
    std::optional<Window> m_focusedWindow;
    QList<Window> m_windows;
    std::optional<InputSources> m_inputSources;
    // The Shell announces changes of its sources in bursts: one question at a time, and one more
    // if news came while it was out.
    bool m_inputSourcesAsked = false;
    bool m_inputSourcesStale = false;
    Signal<Window> m_focusChanged;
    Signal<> m_sourceChanged;
    Signal<> m_runningChanged;
};

} // namespace korvalen
