#include "app/AppDelegate.h"

#include "usage/UsageBaselineTracker.h"

#include <QApplication>
#include <QKeySequence>
#include <QTextStream>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

AppDelegate::AppDelegate(Services services)
    : m_services(std::move(services))
    , m_log(m_services.enforcementLogPath, m_services.clock)
    , m_statusMenu(m_services.store, m_services.inputSources, m_services.workspace,
                   m_services.localizer, m_services.hud)
    , m_enforcement(m_services.store, m_services.websiteWatcher, m_services.inputSources,
                    m_services.workspace, m_services.notifications, m_log)
    , m_mainMenu(std::make_unique<QMenuBar>())
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    setupMainMenu();
    m_statusMenu.start();
    m_enforcement.start();
    m_services.usageTracker.start();
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        m_services.openRulesWindow();
    reportStart();
}

void AppDelegate::reportStart() const
{
    // One line for whoever started Korvalen from a terminal: what it found and where it writes.
    const RuleStore& store = m_services.store;
    const auto orNone = [](const std::optional<QString>& text) {
        return text.value_or(QStringLiteral("none"));
    };
    QTextStream out(stdout);
    out << "Korvalen is running with " << store.rules().size() << " application rules and "
        << store.websiteRules().size() << " website rules; default input source "
        << orNone(store.defaultSourceID()) << " (" << rawValue(store.globalFallbackMode())
        << "), switch by application " << (store.isAutoSwitchEnabled() ? "on" : "off")
        << ", interface language "
        << m_services.localizer.resolveCurrentLocalization().languageCode;
    if (!m_services.backendsDescription.isEmpty())
        out << "; " << m_services.backendsDescription;
    out << ". Log: " << m_services.enforcementLogPath << Qt::endl;
}

void AppDelegate::setupMainMenu()
{
    // These titles are the same in every language, as the platform's own Edit menu is.
    QMenu* edit = m_mainMenu->addMenu(u"Edit"_s);
    const struct {
        QString title;
        QKeySequence::StandardKey key;
        const char* slot;
    } commands[] = {
        {u"Cut"_s, QKeySequence::Cut, "cut"},
        {u"Copy"_s, QKeySequence::Copy, "copy"},
        {u"Paste"_s, QKeySequence::Paste, "paste"},
        {u"Select All"_s, QKeySequence::SelectAll, "selectAll"},
    };
    for (const auto& command : commands) {
        QAction* action = edit->addAction(command.title);
        action->setShortcut(command.key);
        // The focused field does the work; a widget without such a command ignores it.
        const QByteArray slot = command.slot;
        connect(action, &QAction::triggered, this, [slot] {
            QWidget* focus = QApplication::focusWidget();
            if (focus && focus->metaObject()->indexOfMethod(slot + "()") >= 0)
                QMetaObject::invokeMethod(focus, slot.constData());
        });
    }
}

} // namespace korvalen
