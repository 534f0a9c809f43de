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

namespace korvalen {

class AppIconView;
class InputSourcePickerButton;
class ItemIcons;
class Workspace;

// One application rule: its application, an arrow, a picker that changes its source, and a
// button that removes it.
class AppRuleRow : public QWidget {
    Q_OBJECT
public:
    AppRuleRow(const ItemIcons& icons, const Workspace& workspace, QWidget* parent = nullptr);

    void setRule(const AppRule& rule, const QList<InputSource>& sources);
    const AppRule& rule() const { return m_rule; }

Q_SIGNALS:
    void sourcePicked(const AppRule& rule, const QString& sourceID);
    void removeRequested(const QString& bundleID);

private:
    const Workspace& m_workspace;
    AppRule m_rule;
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

    void setRule(const WebsiteRule& rule);
    const WebsiteRule& rule() const { return m_rule; }

Q_SIGNALS:
    void removeRequested(const QString& domain);

private:
    WebsiteRule m_rule;
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
        for (const Rule& rule : rules) {
            QPointer<Row> row = m_rows.take(rule.id());
            if (!row) {
                row = m_makeRow();
                // A child made after its window was shown stays hidden until shown itself.
                row->show();
            }
            m_showRule(*row, rule);
            kept.insert(rule.id(), row);
            m_layout.removeWidget(row);
            m_layout.addWidget(row);
        }
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
};

} // namespace korvalen
