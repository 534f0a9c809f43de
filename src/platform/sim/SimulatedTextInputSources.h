#pragma once

#include "platform/TextInputSources.h"

#include <QObject>

namespace korvalen {

// Input sources that exist only in memory, for tests. A test makes sources with any mix of
// properties, decides which of them are enabled and in what order, which one is current and what
// select() answers, and sees every select() the catalogue made.
class SimulatedTextInputSources final : public TextInputSources {
public:
    struct Properties {
        std::optional<bool> isSelectCapable;
        std::optional<QString> category;
        std::optional<QString> identifier;
        std::optional<QString> localizedName;
        std::optional<QString> inputMethodBundleID;
        std::optional<QUrl> iconURL;
    };

    // A selectable keyboard layout with the given identifier and name.
    static Properties keyboardLayout(const QString& identifier, const QString& localizedName);

    // A source that exists but is not enabled until it is put into setEnabledSources().
    Handle makeSource(Properties properties);
    // Makes a source and appends it to the enabled ones.
    Handle addEnabledSource(Properties properties);
    void setEnabledSources(QList<Handle> sources) { m_enabledSources = std::move(sources); }
    // Changes the current source without announcing it.
    void setCurrentKeyboardSource(Handle source) { m_currentSource = std::move(source); }
    // What select() answers from now on. An accepted request makes the source current and
    // announces the change from the event loop, as a platform does.
    void setSelectStatus(int status) { m_selectStatus = status; }
    // Every source select() was asked for, in order.
    const QList<Handle>& selectRequests() const { return m_selectRequests; }

    // Tells the subscribers, at once, that the current source changed.
    using TextInputSources::announceSelectedKeyboardSourceChanged;

    void setKeepsSourcePerWindow(bool keeps) { m_keepsSourcePerWindow = keeps; }
    bool keepsSourcePerWindow() override { return m_keepsSourcePerWindow; }
    // What the last setChangeNotificationsNeeded() said.
    bool changeNotificationsNeeded() const { return m_changeNotificationsNeeded; }
    void setChangeNotificationsNeeded(bool needed) override
    {
        m_changeNotificationsNeeded = needed;
    }

    QList<Handle> enabledSources() override { return m_enabledSources; }
    Handle currentKeyboardSource() override { return m_currentSource; }
    int select(const Handle& source) override;

    std::optional<bool> isSelectCapable(const Handle& source) const override;
    std::optional<QString> category(const Handle& source) const override;
    std::optional<QString> identifier(const Handle& source) const override;
    std::optional<QString> localizedName(const Handle& source) const override;
    std::optional<QString> inputMethodBundleID(const Handle& source) const override;
    std::optional<QUrl> iconURL(const Handle& source) const override;

private:
    class SimulatedSource;
    static const Properties* propertiesOf(const Handle& source);

    QList<Handle> m_enabledSources;
    Handle m_currentSource;
    int m_selectStatus = selectAccepted;
    QList<Handle> m_selectRequests;
    bool m_changeNotificationsNeeded = false;
    bool m_keepsSourcePerWindow = false;
    // Pending announcements die with the simulation.
    QObject m_announcementContext;
};

} // namespace korvalen
