#include "RulesWindowFixture.h"
#include "SharedStore.h"

#include "platform/DesktopShellExtension.h"
#include "rules_window/InputSourcePickerButton.h"
#include "rules_window/RuleRows.h"
#include "rules_window/RulesView.h"
#include "rules_window/SearchableAppPickerButton.h"
#include "support/Signal.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

using namespace korvalen;
using namespace korvalen::testing;

namespace {

class RulesViewTest : public RulesWindowFixture {
protected:
    static RuleStore& store() { return RuleStore::shared(); }

    // Before the window is made, so that it starts from an empty store.
    bool storeCleared = (clearStore(), true);
    RulesEditor editor{store(), inputSources,
                       [this] {
                           ++appListReads;
                           return apps;
                       },
                       [this](const QString&) { return suggestion; }};
    RulesView view{editor, icons, workspace};
    QList<InstalledApp> apps{{terminal, u"Terminal"_s, QString()},
                             {u"firefox-esr"_s, u"Firefox ESR"_s, QString()}};
    std::optional<RuleSuggestion> suggestion;
    int appListReads = 0;

    template <typename Widget>
    Widget& child(const char* name)
    {
        auto* widget = view.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }

    QString text(const char* name) { return child<QLabel>(name).text(); }
    bool shown(const char* name) { return child<QWidget>(name).isVisibleTo(&view); }

    // The application rule rows from top to bottom, by name.
    QStringList appRows()
    {
        QList<AppRuleRow*> rows;
        for (AppRuleRow* row : view.findChildren<AppRuleRow*>())
            if (row->isVisibleTo(&view))
                rows.append(row);
        std::ranges::sort(rows, [](AppRuleRow* a, AppRuleRow* b) {
            return a->parentWidget()->layout()->indexOf(a) <
                   b->parentWidget()->layout()->indexOf(b);
        });
        QStringList names;
        for (const AppRuleRow* row : rows)
            names.append(row->rule().appDisplayName);
        return names;
    }

    void pickApp(const InstalledApp& app)
    {
        Q_EMIT child<SearchableAppPickerButton>("appPicker").picked(app);
    }
    void pickSource(const char* picker, const QString& id)
    {
        Q_EMIT child<InputSourcePickerButton>(picker).picked(id);
    }
};

// A desktop that needs Korvalen's shell extension, which is not running yet.
class NeededShellExtension final : public DesktopShellExtension {
public:
    bool isNeeded() const override { return true; }
    bool isRunning() const override { return m_running; }
    Subscription subscribeToRunningChanges(std::function<void()> handler) const override
    {
        return m_runningChanged.connect(std::move(handler));
    }
    Change install() override { return {}; }
    Change remove() override { return {}; }
    Status status() const override { return {}; }

    void start()
    {
        m_running = true;
        m_runningChanged.emit();
    }

private:
    bool m_running = false;
    Signal<> m_runningChanged;
};

} // namespace

TEST_F(RulesViewTest, SaysWhatToDoUntilTheNeededShellExtensionRuns)
{
    NeededShellExtension extension;
    RulesView needing{editor, icons, workspace, &extension};
    needing.show();
    const auto* notice = needing.findChild<QWidget*>(u"shellExtensionNotice"_s);
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisibleTo(&needing));
    EXPECT_TRUE(needing.findChild<QLabel*>(u"shellExtensionNote"_s)
                    ->text()
                    .contains(u"korvalen --gnome-extension install"_s));
    extension.start();
    EXPECT_FALSE(notice->isVisibleTo(&needing));

    view.show();
    EXPECT_FALSE(shown("shellExtensionNotice")) << "a platform without a shell extension";
}

TEST_F(RulesViewTest, EmptyStoreShowsPlaceholdersAndNoDefaultRow)
{
    view.show();
    EXPECT_EQ(text("rulesListTitle"), u"已配置的规则（0）"_s);
    EXPECT_TRUE(shown("noRules"));
    EXPECT_TRUE(appRows().isEmpty());
    EXPECT_FALSE(shown("defaultSourceRow"));
    EXPECT_EQ(text("fallbackExplanation"),
              u"不启用：没有专属规则的 App 完全不管，保持切换前的状态。"_s);
    EXPECT_FALSE(child<QPushButton>("addRuleButton").isEnabled());
    EXPECT_FALSE(child<QPushButton>("addWebsiteRuleButton").isEnabled());
    EXPECT_EQ(appListReads, 0) << "the applications are listed when the picker opens";
}

TEST_F(RulesViewTest, AddingARuleThroughTheFormShowsItAndEmptiesTheForm)
{
    view.show();
    pickApp(apps.at(0));
    EXPECT_FALSE(child<QPushButton>("addRuleButton").isEnabled());
    pickSource("sourcePicker", u"xkb:ru"_s);
    ASSERT_TRUE(child<QPushButton>("addRuleButton").isEnabled());
    QTest::mouseClick(&child<QPushButton>("addRuleButton"), Qt::LeftButton);

    EXPECT_EQ(store().rules(),
              (QList<AppRule>{{terminal, u"Terminal"_s, u"xkb:ru"_s, u"Russian"_s}}));
    EXPECT_EQ(appRows(), QStringList{u"Terminal"_s});
    EXPECT_FALSE(shown("noRules"));
    EXPECT_EQ(text("rulesListTitle"), u"已配置的规则（1）"_s);
    EXPECT_EQ(child<SearchableAppPickerButton>("appPicker").selection(), QString());
    EXPECT_EQ(child<InputSourcePickerButton>("sourcePicker").selection(), QString());
    EXPECT_FALSE(child<QPushButton>("addRuleButton").isEnabled());
}

TEST_F(RulesViewTest, SuggestionFillsTheSourceWithoutAddingARule)
{
    suggestion = RuleSuggestion{terminal, u"Terminal"_s, u"xkb:ru"_s, u"Russian"_s, 87};
    view.show();
    EXPECT_FALSE(shown("suggestionRow")) << "no application chosen yet";
    pickApp(apps.at(0));
    ASSERT_TRUE(shown("suggestionRow"));
    EXPECT_EQ(text("suggestionText"), u"根据历史使用，「Terminal」87% 时间用「Russian」"_s);

    QTest::mouseClick(&child<QPushButton>("adoptSuggestionButton"), Qt::LeftButton);
    EXPECT_EQ(child<InputSourcePickerButton>("sourcePicker").selection(), u"xkb:ru"_s);
    EXPECT_TRUE(store().rules().isEmpty());
    EXPECT_TRUE(shown("suggestionRow"));
}

TEST_F(RulesViewTest, ModesShowTheDefaultRowAndTheirExplanation)
{
    store().setDefaultSourceID(u"xkb:ru"_s);
    view.show();
    QTest::mouseClick(&child<QPushButton>("lockedMode"), Qt::LeftButton);
    EXPECT_EQ(store().globalFallbackMode(), GlobalFallbackMode::locked);
    EXPECT_TRUE(shown("defaultSourceRow"));
    EXPECT_EQ(child<InputSourcePickerButton>("defaultSourcePicker").selection(), u"xkb:ru"_s);
    EXPECT_EQ(text("fallbackExplanation"),
              u"持续纠偏：没有专属规则的 App 只要输入法偏离就立刻纠正回来，锁死。"_s);

    QTest::mouseClick(&child<QPushButton>("defaultOnlyMode"), Qt::LeftButton);
    EXPECT_EQ(store().globalFallbackMode(), GlobalFallbackMode::defaultOnly);
    EXPECT_TRUE(text("fallbackExplanation").startsWith(u"只在切进"_s));

    QTest::mouseClick(&child<QPushButton>("disabledMode"), Qt::LeftButton);
    EXPECT_FALSE(shown("defaultSourceRow"));
    EXPECT_EQ(store().defaultSourceID(), u"xkb:ru"_s) << "kept for the next mode";

    pickSource("defaultSourcePicker", u"xkb:us"_s);
    EXPECT_EQ(store().defaultSourceDisplayName(), u"English (US)"_s);
}

TEST_F(RulesViewTest, ChangesMadeElsewhereShowAtOnceWithoutDisturbingTheUser)
{
    view.resize(620, 300);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    auto& domain = child<QLineEdit>("domainField");
    domain.setFocus();
    QTest::keyClicks(&domain, u"www.exa"_s);
    const QList<AppRuleRow*> before = view.findChildren<AppRuleRow*>();

    store().upsert(AppRule{u"vim"_s, u"Vim"_s, u"xkb:us"_s, u"English (US)"_s});
    store().upsert(AppRule{u"b"_s, u"Alacritty"_s, u"xkb:us"_s, u"English (US)"_s});
    store().upsert(AppRule{u"c"_s, u"Zed"_s, u"xkb:ru"_s, u"Russian"_s});
    EXPECT_EQ(appRows(), (QStringList{u"Alacritty"_s, u"Vim"_s, u"Zed"_s}));
    EXPECT_EQ(domain.text(), u"www.exa"_s);
    EXPECT_EQ(QApplication::focusWidget(), &domain);

    auto* vimRow = view.findChildren<AppRuleRow*>().at(before.size());
    store().upsert(AppRule{u"d"_s, u"Emacs"_s, u"xkb:us"_s, u"English (US)"_s});
    EXPECT_TRUE(view.findChildren<AppRuleRow*>().contains(vimRow)) << "rows are kept, not remade";
    EXPECT_EQ(appListReads, 0) << "typing and redrawing never list the applications";
}

TEST_F(RulesViewTest, RowsChangeTheirRuleAndRemoveIt)
{
    store().upsert(AppRule{terminal, u"Terminal"_s, u"xkb:us"_s, u"English (US)"_s});
    store().upsert(WebsiteRule{u"example.com"_s, u"xkb:ru"_s, u"Russian"_s});
    view.show();
    auto* row = view.findChild<AppRuleRow*>();
    ASSERT_NE(row, nullptr);
    Q_EMIT row->findChild<InputSourcePickerButton*>()->picked(u"xkb:ru"_s);
    EXPECT_EQ(store().rules().first().inputSourceDisplayName, u"Russian"_s);

    auto* remove = row->findChild<QToolButton*>();
    EXPECT_EQ(remove->accessibleName(), u"删除"_s);
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_TRUE(store().rules().isEmpty());
    EXPECT_TRUE(appRows().isEmpty());

    auto* websiteRow = view.findChild<WebsiteRuleRow*>();
    ASSERT_NE(websiteRow, nullptr);
    EXPECT_EQ(websiteRow->findChild<InputSourcePickerButton*>(), nullptr)
        << "a website rule's source is changed by adding it again";
    QTest::mouseClick(websiteRow->findChild<QToolButton*>(), Qt::LeftButton);
    EXPECT_TRUE(store().websiteRules().isEmpty());
}

TEST_F(RulesViewTest, WebsiteFormAddsTheHostAndTypingOnlyEnablesTheButton)
{
    view.show();
    auto& domain = child<QLineEdit>("domainField");
    QTest::keyClicks(&domain, u"   "_s);
    pickSource("websiteSourcePicker", u"xkb:ru"_s);
    EXPECT_FALSE(child<QPushButton>("addWebsiteRuleButton").isEnabled());
    domain.clear();
    QTest::keyClicks(&domain, u"https://www.Example.com/a?b=1"_s);
    ASSERT_TRUE(child<QPushButton>("addWebsiteRuleButton").isEnabled());
    QTest::keyClick(&domain, Qt::Key_Return);
    EXPECT_TRUE(store().websiteRules().isEmpty()) << "Return only ends editing";

    QTest::mouseClick(&child<QPushButton>("addWebsiteRuleButton"), Qt::LeftButton);
    EXPECT_EQ(store().websiteRules(),
              (QList<WebsiteRule>{{u"www.Example.com"_s, u"xkb:ru"_s, u"Russian"_s}}));
    EXPECT_EQ(domain.text(), QString());
    EXPECT_EQ(child<InputSourcePickerButton>("websiteSourcePicker").selection(), QString());
}

TEST_F(RulesViewTest, RightToLeftForArabicAndHebrewOnlyAndTextsFollowTheLanguage)
{
    view.show();
    for (const auto& [code, direction] :
         {std::pair(u"ar"_s, Qt::RightToLeft), std::pair(u"he"_s, Qt::RightToLeft),
          std::pair(u"fa"_s, Qt::LeftToRight), std::pair(u"en"_s, Qt::LeftToRight)}) {
        store().setLanguageOverride(code);
        EXPECT_EQ(view.layoutDirection(), direction) << code.toStdString();
    }
    EXPECT_EQ(text("rulesListTitle"), u"Configured Rules (0)"_s);
    EXPECT_EQ(child<QCheckBox>("autoSwitch").text(), u"Switch Automatically by App"_s);
}

TEST_F(RulesViewTest, EveryControlReachedByTabHasANameForScreenReaders)
{
    store().upsert(AppRule{terminal, u"Terminal"_s, u"xkb:us"_s, u"English (US)"_s});
    store().upsert(WebsiteRule{u"example.com"_s, u"xkb:ru"_s, u"Russian"_s});
    store().setGlobalFallbackMode(GlobalFallbackMode::locked);
    view.show();
    QStringList unnamed;
    int controls = 0;
    for (QWidget* widget : view.widget()->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&view) || !(widget->focusPolicy() & Qt::TabFocus))
            continue;
        ++controls;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        if (!accessible || accessible->text(QAccessible::Name).isEmpty())
            unnamed.append(QString::fromLatin1(widget->metaObject()->className()));
    }
    // The toggle; the two forms' pickers, field and buttons; a row's picker and bin; the website
    // row's bin; three modes and the default's picker.
    EXPECT_EQ(controls, 14);
    EXPECT_EQ(unnamed, QStringList());
}
