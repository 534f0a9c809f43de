#pragma once

#include "input/InputSource.h"
#include "rules/AppRule.h"
#include "rules/WebsiteRule.h"

#include <QHash>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

#include <functional>
#include <optional>

namespace korvalen {

class AppIconView;
class InputSourcePickerButton;
class ItemIcons;
class Workspace;

// What a row shows besides its rule: the input sources to pick from and the interface language.
// A row whose rule and context are as before is left alone, so a redraw costs only the rows that
// changed.
struct RuleRowContext {
    QList<InputSource> sources;
    QString languageCode;

    friend bool operator==(const RuleRowContext& a, const RuleRowContext& b)
    {
        // Sources count as equal by identifier; a renamed layout must show its new name.
        const auto names = [](const RuleRowContext& context) {
            QStringList names;
            for (const InputSource& source : context.sources)
                names << source.id << source.localizedName;
            return names;
        };
        return a.languageCode == b.languageCode && names(a) == names(b);
    }
};

// One application rule: its application, an arrow, a picker that changes its source, and a
// button that removes it.
class AppRuleRow : public QWidget {
    Q_OBJECT
public:
    AppRuleRow(const ItemIcons& icons, const Workspace& workspace, QWidget* parent = nullptr);

    void setRule(const AppRule& rule, const RuleRowContext& context);
    const AppRule& rule() const { return m_rule; }

Q_SIGNALS:
    void sourcePicked(const AppRule& rule, const QString& sourceID);
    void removeRequested(const QString& bundleID);

private:
    const Workspace& m_workspace;
    AppRule m_rule;
    std::optional<RuleRowContext> m_context;
    AppIconView* m_icon;
    QLabel* m_name;
    QLabel* m_arrow;
    InputSourcePickerButton* m_source;
    QToolButton* m_remove;
};

// One website rule: its domain, an arrow, the name of its source as stored, and a button that
// removes it. A website rule's source is changed by adding the domain again.
class WebsiteRuleRow : public QWidget {
    Q_OBJECT
public:
    explicit WebsiteRuleRow(QWidget* parent = nullptr);

    void setRule(const WebsiteRule& rule, const RuleRowContext& context);
    const WebsiteRule& rule() const { return m_rule; }

Q_SIGNALS:
    void removeRequested(const QString& domain);

private:
    WebsiteRule m_rule;
    std::optional<QString> m_languageCode;
    QLabel* m_domain;
    QLabel* m_arrow;
    QLabel* m_source;
    QToolButton* m_remove;
};

// A column of rows, one per rule, in the order given. A rule keeps its row widget from one
// redraw to the next, so redrawing a long list creates only the rows of new rules and the
// keyboard focus stays on the row the user was in.
template <typename Rule, typename Row>
class RuleRowColumn {
public:
    using MakeRow = std::function<Row*()>;
    using ShowRule = std::function<void(Row&, const Rule&)>;

    RuleRowColumn(QVBoxLayout& layout, MakeRow makeRow, ShowRule showRule)
        : m_layout(layout)
        , m_makeRow(std::move(makeRow))
        , m_showRule(std::move(showRule))
    {
    }

    void show(const QList<Rule>& rules)
    {
        QHash<QString, QPointer<Row>> kept;
        QList<QString> order;
        for (const Rule& rule : rules) {
            QPointer<Row> row = m_rows.take(rule.id());
            if (!row) {
                row = m_makeRow();
                // A child made after its window was shown stays hidden until shown itself.
                row->show();
            }
            m_showRule(*row, rule);
            kept.insert(rule.id(), row);
            order.append(rule.id());
        }
        // Laying a long list out again costs more than all the rows' updates: only when the
        // order changed.
        if (order != m_order || !m_rows.isEmpty()) {
            for (const QString& id : std::as_const(order)) {
                m_layout.removeWidget(kept.value(id));
                m_layout.addWidget(kept.value(id));
            }
        }
        m_order = std::move(order);
        // A row may be removed from inside its own button's click: it goes once that is over.
        for (const QPointer<Row>& gone : std::as_const(m_rows)) {
            if (gone) {
                m_layout.removeWidget(gone);
                gone->hide();
                gone->deleteLater();
            }
        }
        m_rows = std::move(kept);
    }

    qsizetype count() const { return m_rows.size(); }

private:
    QVBoxLayout& m_layout;
    MakeRow m_makeRow;
    ShowRule m_showRule;
    QHash<QString, QPointer<Row>> m_rows;
    QList<QString> m_order;
};

} // namespace korvalen
