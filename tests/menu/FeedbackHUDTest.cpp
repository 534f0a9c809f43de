#include "menu/FeedbackHUD.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString lockedMessage =
    u"✓ 已锁定：当前输入法「English (US)」已锁定，切换应用不会再被带走。"_s;

QLabel* labelOf(const QWidget* panel)
{
    return panel->findChild<QLabel*>();
}

// Runs the pending dismissal now rather than 1.6 s after the notice.
void dismissNow(FeedbackHUD& hud)
{
    hud.findChild<QTimer*>()->start(0);
}

bool becomesOpaque(const QPointer<QWidget>& panel)
{
    return QTest::qWaitFor([&] { return panel && panel->windowOpacity() == 1.0; });
}

bool isDestroyed(const QPointer<QWidget>& panel)
{
    return QTest::qWaitFor([&] { return panel.isNull(); });
}

} // namespace

TEST(FeedbackHUDPosition, CentredUnderTheIconKeptOnItsScreen)
{
    const QRect screen(0, 0, 1440, 900);
    EXPECT_EQ(FeedbackHUD::position(QSize(200, 40), QRect(100, 4, 22, 20), screen), QPoint(11, 30));
    // An icon in the top right corner: the notice stays whole on the screen.
    EXPECT_EQ(FeedbackHUD::position(QSize(300, 40), QRect(1416, 0, 24, 24), screen),
              QPoint(1140, 30));
    EXPECT_EQ(FeedbackHUD::position(QSize(300, 40), QRect(0, 0, 24, 24), screen), QPoint(0, 30));
    // A panel at the bottom: the notice rises above the icon.
    EXPECT_EQ(FeedbackHUD::position(QSize(300, 40), QRect(1416, 876, 24, 24), screen),
              QPoint(1140, 830));
    // The icon on a second screen, to the right of and above the first.
    EXPECT_EQ(FeedbackHUD::position(QSize(200, 40), QRect(2000, -200, 24, 24),
                                    QRect(1440, -200, 1280, 800)),
              QPoint(1912, -170));
    // Wider than the screen: centred under the icon, never cut.
    EXPECT_EQ(FeedbackHUD::position(QSize(1600, 40), QRect(700, 0, 40, 24), screen),
              QPoint(-80, 30));
}

TEST(FeedbackHUDPosition, WithoutAnIconTheLowerEdgeIsSixtyPixelsBelowTheScreensTop)
{
    const QSize size(201, 41);
    EXPECT_EQ(FeedbackHUD::position(size, std::nullopt, QRect(0, 0, 1920, 1080)),
              QPoint(960 - 100, 60 - 41));
    EXPECT_EQ(FeedbackHUD::position(size, std::nullopt, QRect(1920, -200, 1280, 800)),
              QPoint(1920 + 640 - 100, -200 + 60 - 41));
    EXPECT_EQ(FeedbackHUD::position(size, std::nullopt, std::nullopt), QPoint(720 - 100, 60 - 41));
    EXPECT_EQ(FeedbackHUD::position(QSize(2000, 41), std::nullopt, std::nullopt), QPoint(-280, 19));
}

TEST(FeedbackHUD, PanelLeavesTheFocusAndTheMouseToTheWindowBeneath)
{
    QWidget editor;
    auto* field = new QLineEdit(&editor);
    editor.show();
    editor.activateWindow();
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));

    FeedbackHUD hud;
    hud.show(lockedMessage, QRect(100, 0, 22, 22));
    QWidget* panel = hud.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isWindow() && !panel->parent());
    const Qt::WindowFlags flags = panel->windowFlags();
    for (const Qt::WindowType flag : {Qt::FramelessWindowHint, Qt::WindowStaysOnTopHint,
                                      Qt::WindowDoesNotAcceptFocus, Qt::WindowTransparentForInput})
        EXPECT_TRUE(flags.testFlag(flag)) << "window flag " << std::hex << flag;
    EXPECT_TRUE(panel->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(panel->accessibleName(), lockedMessage);

    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), &editor);
    EXPECT_EQ(QApplication::focusWidget(), field);
}

TEST(FeedbackHUD, PanelFitsTheWholeMessageOnOneLineInsideItsMargins)
{
    const QString message = u"✓ 已锁定：English (US)"_s;
    FeedbackHUD hud;
    hud.show(message, std::nullopt);
    const QWidget* panel = hud.panel();
    const QLabel* label = labelOf(panel);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), message);
    EXPECT_EQ(label->font().family(), QApplication::font().family());
    EXPECT_EQ(label->font().pointSizeF(), 13.0);
    EXPECT_EQ(label->font().weight(), QFont::Medium);
    EXPECT_EQ(label->geometry(), QRect(QPoint(16, 10), label->sizeHint()));
    EXPECT_EQ(panel->size(), label->sizeHint() + QSize(32, 20));
    EXPECT_EQ(panel->pos(), FeedbackHUD::position(panel->size(), std::nullopt,
                                                  QGuiApplication::primaryScreen()->geometry()));
    const QSize oneLine = panel->size();

    // Wider than the screen, and still neither wrapped nor cut short.
    const QString longMessage = message.repeated(8);
    const QRect icon(300, 0, 24, 24);
    hud.show(longMessage, icon);
    panel = hud.panel();
    label = labelOf(panel);
    EXPECT_GT(panel->width(), 4 * oneLine.width());
    EXPECT_EQ(panel->height(), oneLine.height());
    EXPECT_GE(label->width(), QFontMetrics(label->font()).horizontalAdvance(longMessage));
    EXPECT_EQ(panel->pos(), FeedbackHUD::position(panel->size(), icon, std::nullopt));
}

TEST(FeedbackHUD, PanelIsRoundedAndPaintedInThePalettesColours)
{
    const QPalette original = QApplication::palette();
    for (const QColor window : {QColor(0xf0, 0xf0, 0xf0), QColor(0x2a, 0x2e, 0x32)}) {
        QPalette palette = original;
        palette.setColor(QPalette::Window, window);
        QApplication::setPalette(palette);
        FeedbackHUD hud;
        hud.show(u"✓"_s, std::nullopt);
        QWidget* panel = hud.panel();
        // Cut off by the mask too, for screens without a compositor where alpha is ignored.
        EXPECT_FALSE(panel->mask().contains(QPoint(0, 0)));
        EXPECT_TRUE(panel->mask().contains(QPoint(panel->width() / 2, 1)));

        const QImage image = panel->grab().toImage();
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
        const QColor inside = image.pixelColor(4, panel->height() / 2);
        // Stored premultiplied: a unit of rounding either way.
        EXPECT_NEAR(inside.red(), window.red(), 1);
        EXPECT_NEAR(inside.green(), window.green(), 1);
        EXPECT_NEAR(inside.blue(), window.blue(), 1);
        EXPECT_GT(inside.alpha(), 128);
        EXPECT_LT(inside.alpha(), 255);
    }
    QApplication::setPalette(original);
}

TEST(FeedbackHUD, FadesInStaysUntilDismissedThenFadesOutAndCloses)
{
    FeedbackHUD hud;
    hud.show(lockedMessage, std::nullopt);
    const QPointer<QWidget> panel = hud.panel();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->windowOpacity(), 0.0);
    const QTimer* dismissal = hud.findChild<QTimer*>();
    ASSERT_NE(dismissal, nullptr);
    EXPECT_TRUE(dismissal->isActive());
    EXPECT_EQ(dismissal->interval(), FeedbackHUD::dismissAfterMilliseconds);

    ASSERT_TRUE(becomesOpaque(panel));
    EXPECT_TRUE(panel->isVisible());
    dismissNow(hud);
    EXPECT_TRUE(isDestroyed(panel));
    EXPECT_EQ(hud.panel(), nullptr);
}

TEST(FeedbackHUD, ANewNoticeClosesTheOldOneAtOnceAndStaysForItsOwnTime)
{
    FeedbackHUD hud;
    const QTimer* dismissal = hud.findChild<QTimer*>();
    hud.show(u"first"_s, std::nullopt);
    const QPointer<QWidget> first = hud.panel();
    // Long enough on screen that the coarse timer's leeway of 5 % either way cannot hide a restart.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return dismissal->remainingTime() < FeedbackHUD::dismissAfterMilliseconds * 3 / 4;
    }));
    ASSERT_TRUE(first && first->windowOpacity() == 1.0);
    const int firstRemaining = dismissal->remainingTime();

    hud.show(u"second"_s, std::nullopt);
    const QPointer<QWidget> second = hud.panel();
    EXPECT_NE(second, first);
    EXPECT_FALSE(first->isVisible());
    EXPECT_TRUE(second->isVisible());
    EXPECT_GT(dismissal->remainingTime(), firstRemaining);
    EXPECT_TRUE(isDestroyed(first));
    EXPECT_TRUE(second && second->isVisible());
}

TEST(FeedbackHUD, ANoticeDuringAFadeOutIsNotClosedWhenThatFadeEnds)
{
    FeedbackHUD hud;
    const QTimer* dismissal = hud.findChild<QTimer*>();
    hud.show(u"first"_s, std::nullopt);
    const QPointer<QWidget> fading = hud.panel();
    ASSERT_TRUE(becomesOpaque(fading));
    dismissNow(hud);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dismissal->isActive(); }));
    QElapsedTimer sinceFadeOutBegan;
    sinceFadeOutBegan.start();
    ASSERT_TRUE(fading && fading->isVisible());

    hud.show(u"second"_s, std::nullopt);
    const QPointer<QWidget> second = hud.panel();
    EXPECT_FALSE(fading->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return fading.isNull() &&
               sinceFadeOutBegan.elapsed() > 2 * FeedbackHUD::fadeOutMilliseconds;
    }));
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(hud.panel(), second);
    EXPECT_TRUE(dismissal->isActive());
}
