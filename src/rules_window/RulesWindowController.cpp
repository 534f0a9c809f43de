#include "rules_window/RulesWindowController.h"

#include "apps/InstalledAppsScanner.h"
#include "localization/Localized.h"
#include "platform/Platform.h"
#include "rules_window/RulesView.h"
#include "usage/UsageBaselineTracker.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

// Ctrl+W, and with it Ctrl+Alt+W and the like: only Shift counts, because it makes another key.
// Qt reports the Command key of macOS as Control.
bool isCloseKey(const QKeyEvent& key)
{
    return key.key() == Qt::Key_W && key.modifiers().testFlag(Qt::ControlModifier) &&
           !key.modifiers().testFlag(Qt::ShiftModifier);
}

} // namespace

RulesWindowController::RulesWindowController(RuleStore& store, TextInputSources& inputSources,
                                             const Workspace& workspace,
                                             RulesEditor::AppList pickerApps,
                                             RulesEditor::Suggestions suggestions,
                                             const DesktopShellExtension* shellExtension)
    : m_store(store)
    , m_icons(inputSources, workspace)
    , m_editor(store, inputSources, std::move(pickerApps), std::move(suggestions))
    , m_window(std::make_unique<QWidget>())
{
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new RulesView(m_editor, m_icons, workspace, shellExtension, m_window.get()));
    m_window->setWindowTitle(localized(u"Korvalen 规则管理"_s));
    m_window->resize(initialSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        m_window->move(screen->availableGeometry().center() - m_window->rect().center());

    QCoreApplication::instance()->installEventFilter(this);
    // The title is looked up once the change is stored, on the next turn of the event loop.
    m_languageSubscription = m_store.languageOverrideStream().subscribe([this](const auto&) {
        QMetaObject::invokeMethod(this, &RulesWindowController::retitle, Qt::QueuedConnection);
    });
    // Widgets cannot outlive the application object, which goes before this process-wide one.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
        m_languageSubscription = {};
        m_window.reset();
    });
}

RulesWindowController::~RulesWindowController() = default;

RulesWindowController& RulesWindowController::shared()
{
    static RulesWindowController controller(
        RuleStore::shared(), *Platform::shared().textInputSources, *Platform::shared().workspace,
        [] {
            const Platform& platform = Platform::shared();
            return InstalledAppsScanner::pickerApps(*platform.applicationBundles,
                                                    *platform.workspace);
        },
        [](const QString& bundleID) {
            return UsageBaselineTracker::shared().suggestionForBundleID(bundleID);
        },
        Platform::shared().desktopShellExtension.get());
    return controller;
}

void RulesWindowController::showWindow()
{
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void RulesWindowController::retitle()
{
    if (m_window)
        m_window->setWindowTitle(localized(u"Korvalen 规则管理"_s));
}

bool RulesWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !m_window ||
        QApplication::activeWindow() != m_window.get())
        return QObject::eventFilter(watched, event);
    if (!isCloseKey(static_cast<const QKeyEvent&>(*event)))
        return QObject::eventFilter(watched, event);
    m_window->close();
    return true;
}

} // namespace korvalen
