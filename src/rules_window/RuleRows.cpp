#include "rules_window/RuleRows.h"

#include "localization/Localized.h"
#include "platform/Workspace.h"
#include "rules_window/AppIconView.h"
#include "rules_window/InputSourcePickerButton.h"
#include "rules_window/SymbolIcons.h"
#include "rules_window/TextStyles.h"

#include <QHBoxLayout>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

constexpr int nameWidth = 120;
constexpr int websiteSourceWidth = 180;
constexpr int symbolSize = 16;

QLabel* makeArrow(QWidget* parent)
{
    auto* arrow = new QLabel(parent);
    TextStyles::makeSecondary(*arrow);
    return arrow;
}

// The arrow points the way the text runs, so it is drawn at each redraw for the current one.
void drawArrow(QLabel& arrow)
{
    arrow.setPixmap(SymbolIcons::arrowForward(arrow.layoutDirection()).pixmap(symbolSize));
}

QToolButton* makeRemoveButton(QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(SymbolIcons::trash());
    return button;
}

// Only the icon shows, so the name a screen reader speaks and the tool tip are the text; the
// description tells which of the many such buttons it is.
void nameRemoveButton(QToolButton& button, const QString& ruleName)
{
    const QString text = localized(u"删除"_s);
    button.setAccessibleName(text);
    button.setAccessibleDescription(ruleName);
    button.setToolTip(text);
}

} // namespace

AppRuleRow::AppRuleRow(const ItemIcons& icons, const Workspace& workspace, QWidget* parent)
    : QWidget(parent)
    , m_workspace(workspace)
    , m_icon(new AppIconView(icons, this))
    , m_name(new QLabel(this))
    , m_arrow(makeArrow(this))
    , m_source(new InputSourcePickerButton(icons, this))
    , m_remove(makeRemoveButton(this))
{
    m_name->setMinimumWidth(nameWidth);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_icon);
    layout->addWidget(m_name);
    layout->addWidget(m_arrow);
    layout->addWidget(m_source);
    layout->addStretch();
    layout->addWidget(m_remove);
    connect(m_source, &InputSourcePickerButton::picked, this,
            [this](const QString& id) { Q_EMIT sourcePicked(m_rule, id); });
    connect(m_remove, &QToolButton::clicked, this,
            [this] { Q_EMIT removeRequested(m_rule.bundleID); });
}

void AppRuleRow::setRule(const AppRule& rule, const RuleRowContext& context)
{
    if (m_context == context && m_rule == rule)
        return;
    m_rule = rule;
    m_context = context;
    m_icon->setBundlePath(m_workspace.pathForApplication(rule.bundleID).value_or(QString()));
    m_name->setText(rule.appDisplayName);
    drawArrow(*m_arrow);
    m_source->setSources(context.sources);
    m_source->setSelection(rule.inputSourceID);
    m_source->retranslate();
    nameRemoveButton(*m_remove, rule.appDisplayName);
}

WebsiteRuleRow::WebsiteRuleRow(QWidget* parent)
    : QWidget(parent)
    , m_domain(new QLabel(this))
    , m_arrow(makeArrow(this))
    , m_source(new QLabel(this))
    , m_remove(makeRemoveButton(this))
{
    m_domain->setMinimumWidth(nameWidth);
    m_source->setFixedWidth(websiteSourceWidth);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_domain);
    layout->addWidget(m_arrow);
    layout->addWidget(m_source);
    layout->addStretch();
    layout->addWidget(m_remove);
    connect(m_remove, &QToolButton::clicked, this,
            [this] { Q_EMIT removeRequested(m_rule.domain); });
}

void WebsiteRuleRow::setRule(const WebsiteRule& rule, const RuleRowContext& context)
{
    if (m_languageCode == context.languageCode && m_rule == rule)
        return;
    m_rule = rule;
    m_languageCode = context.languageCode;
    m_domain->setText(rule.domain);
    drawArrow(*m_arrow);
    m_source->setText(rule.inputSourceDisplayName);
    nameRemoveButton(*m_remove, rule.domain);
}

} // namespace korvalen
