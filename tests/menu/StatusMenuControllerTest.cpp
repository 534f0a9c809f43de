#include "StatusMenuFixture.h"

#include "menu/StatusMenuController.h"
#include "menu/TrayIconImage.h"
#include "support/TemporaryFolder.h"

#include <QImage>

using namespace korvalen;
using namespace korvalen::testing;

namespace {

class StatusMenuControllerTest : public StatusMenuFixture {
protected:
    FeedbackHUD hud;
    StatusMenuController controller{store, inputSources, workspace, localizer, hud};

    // Opens the menu as the tray or a panel does: announces it, which rebuilds it.
    QList<QAction*> openMenu()
    {
        Q_EMIT controller.menu().aboutToShow();
        return controller.menu().actions();
    }

    QAction* languageEntry(const QString& title)
    {
        const QList<QAction*> entries = openMenu().at(9)->menu()->actions();
        const auto found = std::ranges::find(entries, title, &QAction::text);
        return found == entries.end() ? nullptr : *found;
    }
};

QStringList texts(const QList<QAction*>& actions)
{
    QStringList lines;
    for (const QAction* action : actions)
        lines.append(action->isSeparator() ? u"---"_s : action->text());
    return lines;
}

} // namespace

TEST_F(StatusMenuControllerTest, EachOpeningShowsTheStoreAsItIsThen)
{
    EXPECT_EQ(texts(openMenu()),
              (QStringList{u"Korvalen"_s, u"---"_s, u"未启用全局默认输入法"_s, u"锁定当前输入法"_s,
                           u"---"_s, u"按 App 自动切换"_s, u"为当前 App 添加规则…"_s,
                           u"管理规则…"_s, u"---"_s, u"语言"_s, u"---"_s, u"退出 Korvalen"_s}));
    store.setAutoSwitchEnabled(false);
    store.setLanguageOverride(u"en"_s);
    const QList<QAction*> actions = openMenu();
    EXPECT_EQ(actions.size(), 12) << "rebuilt, not appended to";
    EXPECT_EQ(actions.at(3)->text(), u"Lock Current Input Source"_s);
    EXPECT_FALSE(actions.at(0)->isEnabled());
    EXPECT_TRUE(actions.at(5)->isCheckable());
    EXPECT_FALSE(actions.at(5)->isChecked());
    EXPECT_EQ(actions.at(7)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(actions.at(11)->shortcut(), QKeySequence());
    ASSERT_NE(actions.at(9)->menu(), nullptr);
    EXPECT_EQ(actions.at(9)->menu()->actions().size(), 19);
    EXPECT_TRUE(languageEntry(u"English"_s)->isChecked());
    EXPECT_FALSE(languageEntry(u"Follow System"_s)->isChecked());
}

TEST_F(StatusMenuControllerTest, ChoosingAnItemChangesTheStoreAndShowsTheNotice)
{
    openMenu().at(3)->trigger();
    EXPECT_EQ(store.globalFallbackMode(), GlobalFallbackMode::locked);
    ASSERT_NE(hud.panel(), nullptr);
    EXPECT_TRUE(hud.panel()->isVisible());
    EXPECT_EQ(hud.panel()->accessibleName(),
              u"✓ 已锁定：当前输入法「English (US)」已锁定，切换应用不会再被带走。"_s);

    EXPECT_EQ(openMenu().at(3)->text(), u"解除锁定"_s);
    openMenu().at(3)->trigger();
    EXPECT_EQ(store.globalFallbackMode(), GlobalFallbackMode::disabled);

    languageEntry(u"العربية"_s)->trigger();
    EXPECT_EQ(store.languageOverride(), u"ar"_s);
    openMenu();
    EXPECT_EQ(controller.menu().layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(hud.panel()->layoutDirection(), Qt::RightToLeft) << "the notice is mirrored too";
    languageEntry(u"مثل النظام"_s)->trigger();
    EXPECT_EQ(store.languageOverride(), std::nullopt);
    openMenu();
    EXPECT_EQ(controller.menu().layoutDirection(), Qt::LeftToRight);
}

TEST(TrayIconImage, ShippedKeyboardInThePaletteColourElseTheKeyboardCharacter)
{
    QIcon::setThemeName(u"no-such-theme"_s);
    const QColor colour(0x20, 0x80, 0xF0);
    const QIcon shipped = trayIconImage(colour);
    ASSERT_FALSE(shipped.isNull());
    EXPECT_TRUE(shipped.isMask());
    EXPECT_GE(shipped.availableSizes().size(), 5) << "crisp at every panel size";
    const QImage image = shipped.pixmap(64).toImage();
    EXPECT_EQ(image.pixelColor(4, 30).rgb(), colour.rgb()) << "the keyboard's frame";
    EXPECT_EQ(image.pixelColor(2, 2).alpha(), 0) << "transparent around it";

    TemporaryFolder noImages;
    const QIcon character = trayIconImage(colour, noImages.path(u"missing"_s));
    ASSERT_FALSE(character.isNull());
    EXPECT_TRUE(character.isMask());
}

TEST(TrayIconImage, TheIconThemesKeyboardComesFirst)
{
    TemporaryFolder themes;
    themes.write(u"test-theme/index.theme"_s,
                 "[Icon Theme]\nName=Test\nDirectories=22x22/devices\n\n"
                 "[22x22/devices]\nSize=22\nType=Fixed\n");
    QImage keyboard(22, 22, QImage::Format_ARGB32);
    keyboard.fill(Qt::red);
    QDir().mkpath(themes.path(u"test-theme/22x22/devices"_s));
    ASSERT_TRUE(keyboard.save(themes.path(u"test-theme/22x22/devices/input-keyboard.png"_s)));
    QIcon::setThemeSearchPaths({themes.path(QString())});
    QIcon::setThemeName(u"test-theme"_s);

    const QIcon themed = trayIconImage(Qt::black);
    EXPECT_EQ(themed.name(), u"input-keyboard"_s);
    EXPECT_EQ(themed.pixmap(22).toImage().pixelColor(10, 10), QColor(Qt::red));
    EXPECT_TRUE(themed.isMask()) << "macOS draws it as a template image only then";
    QIcon::setThemeName(u"no-such-theme"_s);
}
