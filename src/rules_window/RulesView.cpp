#include "rules_window/RulesView.h"

#include "localization/Localized.h"
#include "localization/StringFormat.h"
#include "platform/DesktopShellExtension.h"
#include "platform/Workspace.h"
#include "rules_window/InputSourcePickerButton.h"
#include "rules_window/SearchableAppPickerButton.h"
#include "rules_window/SymbolIcons.h"
#include "rules_window/TextStyles.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

constexpr int padding = 20;
constexpr int sectionSpacing = 18;
constexpr int itemSpacing = 8;
constexpr int listSpacing = 4;
constexpr int domainFieldWidth = 200;
constexpr int symbolSize = 16;
// Any name will do; one that can never belong to anyone keeps the example from pointing at a
// real site.
const QString exampleDomain = u"example.com"_s;

constexpr std::array modesInOrder{GlobalFallbackMode::locked, GlobalFallbackMode::defaultOnly,
                                  GlobalFallbackMode::disabled};

QVBoxLayout* sectionLayout(QWidget* section, int spacing = itemSpacing)
{
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QHBoxLayout* rowLayout(QWidget* row)
{
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

QLabel* makeLabel(QWidget* parent, void (*style)(QLabel&))
{
    auto* label = new QLabel(parent);
    style(*label);
    return label;
}

QLabel* makeSymbol(const QIcon& icon, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setPixmap(icon.pixmap(symbolSize));
    TextStyles::makeSecondary(*label);
    return label;
}

QFrame* makeDivider(QWidget* parent)
{
    auto* divider = new QFrame(parent);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    return divider;
}

// A button's text is also what a screen reader speaks for it.
void setButtonText(QAbstractButton& button, const QString& text)
{
    button.setText(text);
    button.setAccessibleName(text);
}

} // namespace

RulesView::RulesView(RulesEditor& editor, const ItemIcons& icons, const Workspace& workspace,
                     const DesktopShellExtension* shellExtension, QWidget* parent)
    : QScrollArea(parent)
    , m_editor(editor)
    , m_icons(icons)
    , m_workspace(workspace)
    , m_shellExtension(shellExtension)
{
    setWidgetResizable(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setMinimumSize(minimumEditorSize);
    setFrameShape(QFrame::NoFrame);

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(sectionSpacing);
    m_shellExtensionNotice = makeShellExtensionNotice();
    m_shellExtensionNotice->setParent(content);
    column->addWidget(m_shellExtensionNotice);
    const std::array sections{makeRulesHeaderSection(), makeAddRuleSection(),
                              makeRulesListSection(),   makeWebsiteRulesSection(),
                              makeFallbackSection(),    makeLimitationNotice()};
    for (QWidget* section : sections) {
        if (section != sections.front())
            column->addWidget(makeDivider(content));
        section->setParent(content);
        column->addWidget(section);
    }
    column->addStretch();
    setWidget(content);

    m_storeChanges = m_editor.store().subscribeToChanges([this] { refresh(); });
    if (m_shellExtension)
        m_shellExtensionChanges =
            m_shellExtension->subscribeToRunningChanges([this] { refreshShellExtensionNotice(); });
    refresh();
}

RulesView::~RulesView() = default;

// Framed, in the text colour rather than the notes' dimmed one: nothing below works until the
// user acts on it.
QWidget* RulesView::makeShellExtensionNotice()
{
    auto* notice = new QFrame;
    notice->setFrameShape(QFrame::StyledPanel);
    notice->setObjectName(u"shellExtensionNotice"_s);
    auto* layout = rowLayout(notice);
    layout->setContentsMargins(itemSpacing, itemSpacing, itemSpacing, itemSpacing);
    m_shellExtensionNote = new QLabel(notice);
    m_shellExtensionNote->setObjectName(u"shellExtensionNote"_s);
    m_shellExtensionNote->setWordWrap(true);
    // So that the command can be copied into a terminal.
    m_shellExtensionNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* symbol = makeSymbol(SymbolIcons::info(), notice);
    symbol->setAlignment(Qt::AlignTop);
    layout->addWidget(symbol);
    layout->addWidget(m_shellExtensionNote, 1);
    return notice;
}

QWidget* RulesView::makeRulesHeaderSection()
{
    auto* section = new QWidget;
    auto* layout = sectionLayout(section);
    m_rulesTitle = makeLabel(section, TextStyles::makeTitle);
    m_autoSwitch = new QCheckBox(section);
    m_autoSwitch->setObjectName(u"autoSwitch"_s);
    m_rulesNote = makeLabel(section, TextStyles::makeNote);
    layout->addWidget(m_rulesTitle);
    layout->addWidget(m_autoSwitch);
    layout->addWidget(m_rulesNote);
    // clicked, not toggled: showing the stored value must not store it again.
    connect(m_autoSwitch, &QCheckBox::clicked, this,
            [this](bool on) { m_editor.store().setAutoSwitchEnabled(on); });
    return section;
}

QWidget* RulesView::makeAddRuleSection()
{
    auto* section = new QWidget;
    auto* layout = sectionLayout(section);
    m_addRuleTitle = makeLabel(section, TextStyles::makeTitle);

    auto* form = new QWidget(section);
    auto* formLayout = rowLayout(form);
    m_appPicker = new SearchableAppPickerButton(
        m_icons, [this] { return m_editor.pickerApps(); }, form);
    m_sourcePicker = new InputSourcePickerButton(m_icons, form);
    m_addRule = new QPushButton(form);
    m_appPicker->setObjectName(u"appPicker"_s);
    m_sourcePicker->setObjectName(u"sourcePicker"_s);
    m_addRule->setObjectName(u"addRuleButton"_s);
    formLayout->addWidget(m_appPicker);
    formLayout->addWidget(m_sourcePicker);
    formLayout->addWidget(m_addRule);
    formLayout->addStretch();

    m_addRuleNote = makeLabel(section, TextStyles::makeNote);

    m_suggestionRow = new QWidget(section);
    auto* suggestionLayout = rowLayout(m_suggestionRow);
    m_suggestionText = makeLabel(m_suggestionRow, TextStyles::makeCaption);
    TextStyles::makeSecondary(*m_suggestionText);
    m_adoptSuggestion = new QPushButton(m_suggestionRow);
    m_adoptSuggestion->setFlat(true);
    m_suggestionRow->setObjectName(u"suggestionRow"_s);
    m_suggestionText->setObjectName(u"suggestionText"_s);
    m_adoptSuggestion->setObjectName(u"adoptSuggestionButton"_s);
    suggestionLayout->addWidget(makeSymbol(SymbolIcons::lightbulb(), m_suggestionRow));
    suggestionLayout->addWidget(m_suggestionText);
    suggestionLayout->addStretch();
    suggestionLayout->addWidget(m_adoptSuggestion);

    layout->addWidget(m_addRuleTitle);
    layout->addWidget(form);
    layout->addWidget(m_addRuleNote);
    layout->addWidget(m_suggestionRow);

    connect(m_appPicker, &SearchableAppPickerButton::picked, this, [this](const InstalledApp& app) {
        m_selectedApp = app;
        m_editor.selectedAppBundleID = app.bundleID;
        refreshAddRuleForm();
    });
    connect(m_sourcePicker, &InputSourcePickerButton::picked, this, [this](const QString& id) {
        m_editor.selectedInputSourceID = id;
        refreshAddRuleForm();
    });
    connect(m_adoptSuggestion, &QPushButton::clicked, this, [this] {
        if (!m_suggestion)
            return;
        m_editor.selectedInputSourceID = m_suggestion->inputSourceID;
        refreshAddRuleForm();
    });
    connect(m_addRule, &QPushButton::clicked, this, [this] {
        // Adding redraws the whole view through the store; a refused add leaves the form as is.
        if (!m_editor.addRule())
            refreshAddRuleForm();
    });
    return section;
}

QWidget* RulesView::makeRulesListSection()
{
    auto* section = new QWidget;
    auto* layout = sectionLayout(section);
    m_listTitle = makeLabel(section, TextStyles::makeTitle);
    m_noRules = new QLabel(section);
    m_listTitle->setObjectName(u"rulesListTitle"_s);
    m_noRules->setObjectName(u"noRules"_s);
    TextStyles::makeSecondary(*m_noRules);
    auto* rows = new QWidget(section);
    auto* rowsLayout = sectionLayout(rows, listSpacing);
    layout->addWidget(m_listTitle);
    layout->addWidget(m_noRules);
    layout->addWidget(rows);

    m_ruleRows = std::make_unique<RuleRowColumn<AppRule, AppRuleRow>>(
        *rowsLayout,
        [this, rows] {
            auto* row = new AppRuleRow(m_icons, m_workspace, rows);
            connect(row, &AppRuleRow::sourcePicked, this,
                    [this](const AppRule& rule, const QString& id) {
                        m_editor.setRuleSource(rule, id);
                    });
            connect(row, &AppRuleRow::removeRequested, this, [this](const QString& bundleID) {
                m_editor.store().removeRuleForBundleID(bundleID);
            });
            return row;
        },
        [this](AppRuleRow& row, const AppRule& rule) { row.setRule(rule, m_rowContext); });
    return section;
}

QWidget* RulesView::makeWebsiteRulesSection()
{
    auto* section = new QWidget;
    auto* layout = sectionLayout(section);
    m_websiteTitle = makeLabel(section, TextStyles::makeTitle);

    auto* form = new QWidget(section);
    auto* formLayout = rowLayout(form);
    m_domainField = new QLineEdit(form);
    m_domainField->setFixedWidth(domainFieldWidth);
    m_domainField->setClearButtonEnabled(true);
    m_websiteSourcePicker = new InputSourcePickerButton(m_icons, form);
    m_addWebsiteRule = new QPushButton(form);
    m_domainField->setObjectName(u"domainField"_s);
    m_websiteSourcePicker->setObjectName(u"websiteSourcePicker"_s);
    m_addWebsiteRule->setObjectName(u"addWebsiteRuleButton"_s);
    formLayout->addWidget(m_domainField);
    formLayout->addWidget(m_websiteSourcePicker);
    formLayout->addWidget(m_addWebsiteRule);
    formLayout->addStretch();

    m_websiteNote = makeLabel(section, TextStyles::makeNote);
    auto* rows = new QWidget(section);
    auto* rowsLayout = sectionLayout(rows, listSpacing);
    layout->addWidget(m_websiteTitle);
    layout->addWidget(form);
    layout->addWidget(m_websiteNote);
    layout->addWidget(rows);

    m_websiteRows = std::make_unique<RuleRowColumn<WebsiteRule, WebsiteRuleRow>>(
        *rowsLayout,
        [this, rows] {
            auto* row = new WebsiteRuleRow(rows);
            connect(row, &WebsiteRuleRow::removeRequested, this, [this](const QString& domain) {
                m_editor.store().removeWebsiteRuleForDomain(domain);
            });
            return row;
        },
        [this](WebsiteRuleRow& row, const WebsiteRule& rule) { row.setRule(rule, m_rowContext); });

    // Typing changes only whether the rule can be added: nothing else depends on the field.
    connect(m_domainField, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_editor.newDomain = text;
        m_addWebsiteRule->setEnabled(m_editor.canAddWebsiteRule());
    });
    connect(m_websiteSourcePicker, &InputSourcePickerButton::picked, this,
            [this](const QString& id) {
                m_editor.selectedWebsiteInputSourceID = id;
                refreshWebsiteForm();
            });
    connect(m_addWebsiteRule, &QPushButton::clicked, this, [this] {
        if (!m_editor.addWebsiteRule())
            refreshWebsiteForm();
    });
    return section;
}

QWidget* RulesView::makeFallbackSection()
{
    auto* section = new QWidget;
    auto* layout = sectionLayout(section);
    m_fallbackTitle = makeLabel(section, TextStyles::makeTitle);

    // Three buttons of which one is down: a segmented control, as wide as its segments.
    auto* segments = new QWidget(section);
    auto* segmentsLayout = rowLayout(segments);
    segmentsLayout->setSpacing(0);
    for (size_t i = 0; i < modesInOrder.size(); ++i) {
        auto* button = new QPushButton(segments);
        button->setCheckable(true);
        button->setObjectName(rawValue(modesInOrder[i]) + u"Mode"_s);
        m_modes.addButton(button, int(i));
        m_modeButtons[i] = button;
        segmentsLayout->addWidget(button);
    }
    segmentsLayout->addStretch();
    connect(&m_modes, &QButtonGroup::idClicked, this, [this](int id) {
        const GlobalFallbackMode mode = modesInOrder.at(size_t(id));
        if (mode != m_editor.store().globalFallbackMode())
            m_editor.store().setGlobalFallbackMode(mode);
    });

    m_defaultSourceRow = new QWidget(section);
    auto* defaultLayout = rowLayout(m_defaultSourceRow);
    m_defaultSourceLabel = makeLabel(m_defaultSourceRow, TextStyles::makeCaption);
    m_defaultSourcePicker = new InputSourcePickerButton(m_icons, m_defaultSourceRow);
    m_defaultSourceLabel->setBuddy(m_defaultSourcePicker);
    m_defaultSourceRow->setObjectName(u"defaultSourceRow"_s);
    m_defaultSourcePicker->setObjectName(u"defaultSourcePicker"_s);
    defaultLayout->addWidget(m_defaultSourceLabel);
    defaultLayout->addWidget(m_defaultSourcePicker);
    defaultLayout->addStretch();
    connect(m_defaultSourcePicker, &InputSourcePickerButton::picked, this,
            [this](const QString& id) { m_editor.setDefaultSource(id); });

    m_explanation = makeLabel(section, TextStyles::makeNote);
    m_explanation->setObjectName(u"fallbackExplanation"_s);
    layout->addWidget(m_fallbackTitle);
    layout->addWidget(segments);
    layout->addWidget(m_defaultSourceRow);
    layout->addWidget(m_explanation);
    return section;
}

QWidget* RulesView::makeLimitationNotice()
{
    auto* section = new QWidget;
    auto* layout = sectionLayout(section, listSpacing);
    auto* heading = new QWidget(section);
    auto* headingLayout = rowLayout(heading);
    m_limitationTitle = makeLabel(heading, TextStyles::makeCaption);
    QFont bold = m_limitationTitle->font();
    bold.setBold(true);
    m_limitationTitle->setFont(bold);
    TextStyles::makeSecondary(*m_limitationTitle);
    headingLayout->addWidget(makeSymbol(SymbolIcons::info(), heading));
    headingLayout->addWidget(m_limitationTitle);
    headingLayout->addStretch();
    m_limitationNote = makeLabel(section, TextStyles::makeNote);
    layout->addWidget(heading);
    layout->addWidget(m_limitationNote);
    return section;
}

void RulesView::refresh()
{
    const QString languageCode = resolveCurrentLocalization().languageCode;
    setLayoutDirection(korvalen::isRightToLeft(languageCode) ? Qt::RightToLeft : Qt::LeftToRight);
    refreshTexts();
    // One reading of the keyboard for every row of this redraw.
    m_rowContext = {m_editor.selectableSources(), languageCode};
    const RuleStore& store = m_editor.store();
    m_autoSwitch->setChecked(store.isAutoSwitchEnabled());

    const QList<AppRule> rules = m_editor.rulesInDisplayOrder();
    m_listTitle->setText(
        formatted(localized(u"已配置的规则（%d）"_s), {static_cast<qlonglong>(rules.size())}));
    m_noRules->setVisible(rules.isEmpty());
    m_ruleRows->show(rules);
    m_websiteRows->show(m_editor.websiteRulesInDisplayOrder());

    refreshAddRuleForm();
    refreshWebsiteForm();
    refreshFallback();
    refreshShellExtensionNotice();
}

void RulesView::refreshTexts()
{
    m_shellExtensionNote->setText(localized(
        u"Korvalen 的 GNOME Shell 扩展没有运行，所以 Korvalen 看不到前台窗口，也无法切换 GNOME 的输入法。请在终端中运行 korvalen --gnome-extension install，然后注销并重新登录。"_s));
    m_rulesTitle->setText(localized(u"按 App 规则"_s));
    setButtonText(*m_autoSwitch, localized(u"按 App 自动切换"_s));
    m_rulesNote->setText(localized(
        u"前台是哪个 App，就切到下面配置给它的输入法。优先级最高，命中了就不看下面的全局默认输入法。"_s));
    m_addRuleTitle->setText(localized(u"添加规则"_s));
    setButtonText(*m_addRule, localized(u"添加"_s));
    m_addRuleNote->setText(
        localized(u"正在运行的和已安装但没打开的 App 都能直接选，不用先手动打开。"_s));
    setButtonText(*m_adoptSuggestion, localized(u"采用这个"_s));
    m_noRules->setText(localized(u"还没有规则，用上面的下拉框加一条。"_s));
    m_websiteTitle->setText(localized(u"网站规则（比按 App 规则更优先）"_s));
    m_domainField->setPlaceholderText(localized(u"域名，如 "_s) + exampleDomain);
    m_domainField->setAccessibleName(m_domainField->placeholderText());
    setButtonText(*m_addWebsiteRule, localized(u"添加"_s));
    m_websiteNote->setText(localized(
        u"目前只支持 Chrome，按域名匹配（不含路径）。第一次生效时系统会请求「自动化」权限访问 Chrome，同意一次即可。"_s));
    m_fallbackTitle->setText(localized(u"↓ 全局默认输入法（没有命中规则时）"_s));
    const std::array modeTitles{localized(u"锁定"_s), localized(u"默认选择"_s),
                                localized(u"不启用"_s)};
    for (size_t i = 0; i < m_modeButtons.size(); ++i)
        setButtonText(*m_modeButtons[i], modeTitles[i]);
    m_defaultSourceLabel->setText(localized(u"输入法："_s));
    m_limitationTitle->setText(localized(u"已知限制"_s));
    m_limitationNote->setText(localized(
        u"对系统拼音、搜狗等把中英文做成独立系统输入源的输入法，锁定/自动切换完全有效。微信输入法把中英文切换做成不对系统暴露的内部状态，本工具无法感知也无法纠正——这类切换需要你自己手动调整。"_s));
    for (InputSourcePickerButton* picker :
         {m_sourcePicker, m_websiteSourcePicker, m_defaultSourcePicker})
        picker->retranslate();
    m_appPicker->retranslate();
}

void RulesView::refreshAddRuleForm()
{
    if (m_editor.selectedAppBundleID.isEmpty())
        m_selectedApp = {};
    m_appPicker->setSelection(m_selectedApp);
    m_sourcePicker->setSources(m_editor.selectableSources());
    m_sourcePicker->setSelection(m_editor.selectedInputSourceID);
    m_addRule->setEnabled(m_editor.canAddRule());

    m_suggestion = m_editor.suggestionForSelectedApp();
    m_suggestionRow->setVisible(m_suggestion.has_value());
    if (m_suggestion)
        m_suggestionText->setText(
            formatted(localized(u"根据历史使用，「%1$@」%2$d%% 时间用「%3$@」"_s),
                      {m_suggestion->appDisplayName, m_suggestion->sharePercent,
                       m_suggestion->inputSourceDisplayName}));
}

void RulesView::refreshWebsiteForm()
{
    // Only an emptied field is written back: rewriting what the user is typing would move the
    // cursor.
    if (m_editor.newDomain.isEmpty() && !m_domainField->text().isEmpty())
        m_domainField->clear();
    m_websiteSourcePicker->setSources(m_editor.selectableSources());
    m_websiteSourcePicker->setSelection(m_editor.selectedWebsiteInputSourceID);
    m_addWebsiteRule->setEnabled(m_editor.canAddWebsiteRule());
}

void RulesView::refreshFallback()
{
    const GlobalFallbackMode mode = m_editor.store().globalFallbackMode();
    const auto index = std::ranges::find(modesInOrder, mode) - modesInOrder.begin();
    m_modeButtons.at(size_t(index))->setChecked(true);
    m_defaultSourceRow->setVisible(mode != GlobalFallbackMode::disabled);
    m_defaultSourcePicker->setSources(m_rowContext.sources);
    m_defaultSourcePicker->setSelection(m_editor.store().defaultSourceID().value_or(QString()));
    m_explanation->setText(fallbackModeExplanation());
}

void RulesView::refreshShellExtensionNotice()
{
    m_shellExtensionNotice->setVisible(m_shellExtension && m_shellExtension->isNeeded() &&
                                       !m_shellExtension->isRunning());
}

QString RulesView::fallbackModeExplanation() const
{
    switch (m_editor.store().globalFallbackMode()) {
    case GlobalFallbackMode::locked:
        return localized(u"持续纠偏：没有专属规则的 App 只要输入法偏离就立刻纠正回来，锁死。"_s);
    case GlobalFallbackMode::defaultOnly:
        return localized(
            u"只在切进没有专属规则的 App 那一刻设一次默认值，之后在这个 App 里想切成什么都随便切，不会被纠正回来。"_s);
    case GlobalFallbackMode::disabled:
        break;
    }
    return localized(u"不启用：没有专属规则的 App 完全不管，保持切换前的状态。"_s);
}

} // namespace korvalen
