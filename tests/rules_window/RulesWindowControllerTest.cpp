#include "RulesWindowFixture.h"
#include "SharedStore.h"

#include "rules_window/RulesWindowController.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

using namespace korvalen;
using namespace korvalen::testing;

namespace {

// A window of the application's own that notes the keys that reach it.
class KeyRecorder : public QWidget {
public:
    QList<QKeyCombination> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.append(event->keyCombination()); }
};

class RulesWindowControllerTest : public RulesWindowFixture {
protected:
    static RuleStore& store() { return RuleStore::shared(); }

    // Before the window is made, so that it starts from an empty store.
    bool storeCleared = (clearStore(), true);
    RulesWindowController controller{
        store(), inputSources, workspace, [] { return QList<InstalledApp>(); },
        [](const QString&) { return std::optional<RuleSuggestion>(); }};

    void openAndActivate()
    {
        controller.showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&controller.window()));
    }

    // Sends the key to the focused widget of the active window, as the keyboard does.
    static bool press(Qt::KeyboardModifiers modifiers)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget()
                                                      : QApplication::activeWindow();
        QKeyEvent event(QEvent::KeyPress, Qt::Key_W, modifiers,
                        modifiers.testFlag(Qt::ShiftModifier) ? u"W"_s : u"w"_s);
        QApplication::sendEvent(target, &event);
        return event.isAccepted();
    }
};

} // namespace

TEST_F(RulesWindowControllerTest, MadeOnceWithItsTitleSizeAndTheEditor)
{
    QWidget& window = controller.window();
    EXPECT_FALSE(window.isVisible()) << "made hidden";
    EXPECT_EQ(window.windowTitle(), u"Korvalen 规则管理"_s);
    EXPECT_EQ(window.size(), QSize(620, 480));
    EXPECT_NE(window.findChild<QLineEdit*>(u"domainField"_s), nullptr);

    openAndActivate();
    openAndActivate();
    EXPECT_EQ(QApplication::topLevelWidgets().count(&window), 1);
    EXPECT_TRUE(window.isActiveWindow());
}

TEST_F(RulesWindowControllerTest, CtrlWClosesOnlyTheActiveRulesWindow)
{
    openAndActivate();
    EXPECT_FALSE(press(Qt::ControlModifier | Qt::ShiftModifier)) << "Shift makes another key";
    EXPECT_TRUE(controller.window().isVisible());
    press(Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(controller.window().isVisible()) << "other modifiers are not examined";

    openAndActivate();
    press(Qt::ControlModifier);
    EXPECT_FALSE(controller.window().isVisible());

    KeyRecorder other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    controller.window().show(); // visible but not the active window
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    press(Qt::ControlModifier);
    EXPECT_TRUE(controller.window().isVisible());
    EXPECT_EQ(other.keys, QList<QKeyCombination>{Qt::ControlModifier | Qt::Key_W})
        << "the key goes on to the window it was for";
}

TEST_F(RulesWindowControllerTest, ReopensAsLeftAndRetitlesOnTheNextTurn)
{
    openAndActivate();
    QWidget& window = controller.window();
    window.setGeometry(QRect(40, 50, 700, 520));
    auto* domain = window.findChild<QLineEdit*>(u"domainField"_s);
    QTest::keyClicks(domain, u"example.org"_s);
    window.close();

    store().setLanguageOverride(u"en"_s);
    EXPECT_EQ(window.windowTitle(), u"Korvalen 规则管理"_s) << "not inside the change";
    QCoreApplication::processEvents();
    EXPECT_EQ(window.windowTitle(), u"Korvalen Rules"_s) << "retitled while hidden";

    openAndActivate();
    EXPECT_EQ(window.geometry(), QRect(40, 50, 700, 520));
    EXPECT_EQ(domain->text(), u"example.org"_s);
}
