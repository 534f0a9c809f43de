#pragma once

#include "platform/linux/BoundedDBusCalls.h"
#include "platform/linux/KeyboardLayoutSources.h"
#include "platform/linux/XkbLayoutRegistry.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QTimer>

namespace korvalen {

// The keyboard layouts of a KDE Plasma session on Wayland, as KWin's org.kde.keyboard service
// tells them: one source per layout, named by its XKB description ("German (no dead keys)"), with
// the identifier that the XKB group of that layout has on X11, found through the rules' registry.
// KWin offers the service only while more than one layout is configured. A change is announced
// when the layout or the list changes, when the service comes or goes, and once KWin may be asked
// again after a call that it left unanswered.
class KdeKeyboardLayouts final : public KeyboardLayoutSources {
public:
    // Statuses of select() other than selectAccepted.
    enum SelectStatus {
        // The handle is not one of ours, or its position now holds another layout.
        noSuchLayout = 1,
        // KWin did not take the request.
        notSent = 2,
    };

    // What KWin itself restores on a switch of window, after kxkbrc's [Layout] SwitchMode.
    enum class LayoutMemory {
        none,        // Global: one layout for all windows
        desktop,     // Desktop: a layout per virtual desktop
        application, // WinClass: a layout per application
        window,      // Window: a layout per window
    };

    explicit KdeKeyboardLayouts(QDBusConnection bus = QDBusConnection::sessionBus(),
                                QString kxkbrcPath = userKxkbrcPath(),
                                XkbLayoutRegistry registry = XkbLayoutRegistry::system());

    static QString userKxkbrcPath();

    // Read afresh on each call: the user may change it in System Settings while we run.
    LayoutMemory kwinLayoutMemory() const;
    // Whether KWin restores layouts of its own on activations, undoing or racing ours.
    bool fightsOwnLayoutMemory() const { return kwinLayoutMemory() != LayoutMemory::none; }

    QList<Handle> enabledSources() override;
    Handle currentKeyboardSource() override;
    int select(const Handle& source) override;

private:
    std::optional<QList<Layout>> layouts();
    std::optional<QList<QVariant>> call(const QString& method,
                                        const QList<QVariant>& arguments = {});

    QDBusConnection m_bus;
    QString m_kxkbrcPath;
    XkbLayoutRegistry m_registry;
    BoundedDBusCalls m_calls;
    // Announcements leave the event loop's current turn, as the port promises; the D-Bus signals
    // start it directly.
    QTimer m_announcement;
    // Started when a call runs out; announces a change once KWin may be asked again.
    QTimer m_unansweredAnnouncement;
    QDBusServiceWatcher m_serviceWatcher;
};

} // namespace korvalen
