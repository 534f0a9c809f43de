#pragma once

#include "rules_window/IconView.h"
#include "rules_window/PickerListModel.h"

#include <QFrame>

class QLabel;
class QLineEdit;
class QListView;

namespace korvalen {

// The pop-up list of a picker button, attached below the button (above it when the screen has no
// room below). A click outside closes it and changes nothing, as does Escape. Clicking an entry,
// or Return or Space on the list's current entry, closes it and announces the entry.
//
// The pop-up takes the keyboard focus when it opens (the list, or the search field when there is
// one): a pop-up is no window that screen readers list, so focus is how they reach it.
class PickerPopup : public QFrame {
    Q_OBJECT
public:
    struct Texts {
        QString listName;          // the list's accessible name
        QString searchPlaceholder; // the search field's placeholder and accessible name
        QString noMatches;         // shown instead of an empty search result
    };

    enum class Search { none, byName };

    using PictureOf = std::function<IconView::Picture(qsizetype entry)>;

    // Owned by the button it opens from, and of a fixed size. What it shows is made when it first
    // opens: a window has a picker on every row, and most are never opened.
    PickerPopup(QWidget& anchor, QSize size, Search search);

    // Opens at the button with an empty search, listing `entries` (each one's picture drawn as an
    // icon view draws it, when the entry is first shown), the one with `currentID` current.
    void open(const Texts& texts, QList<PickerListModel::Entry> entries, PictureOf pictureOf,
              const QString& currentID);

    // The top left corner of a pop-up of `size` for a button at `anchor`: below it (above when
    // there is no room below), its leading edges aligned, kept on the screen.
    static QPoint position(QSize size, const QRect& anchor, const QRect& screen,
                           Qt::LayoutDirection direction);

Q_SIGNALS:
    // An entry was picked (its identifier, and its position in the entries); the pop-up has
    // closed.
    void picked(const QString& id, qsizetype entry);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void build();
    void setTexts(const Texts& texts);
    void setEntries(QList<PickerListModel::Entry> entries, PictureOf pictureOf);
    void pick(const QModelIndex& index);
    void filter(const QString& text);
    QRect anchorGeometry() const;

    QWidget& m_anchor;
    Search m_search;
    PickerListModel m_model;
    QListView* m_list = nullptr;
    QLineEdit* m_searchField = nullptr; // only with a search
    QWidget* m_noMatches = nullptr;     // only with a search
    QLabel* m_noMatchesText = nullptr;
};

} // namespace korvalen
