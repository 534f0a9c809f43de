#include "rules_window/PickerPopup.h"

#include "rules_window/TextStyles.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace korvalen {

namespace {

constexpr int gapToAnchor = 2;
constexpr int searchFieldPadding = 8;

} // namespace

PickerPopup::PickerPopup(QWidget& anchor, QSize size, Search search)
    : QFrame(&anchor, Qt::Popup)
    , m_anchor(anchor)
    , m_search(search)
{
    setFixedSize(size);
}

void PickerPopup::build()
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(QMargins());
    layout->setSpacing(0);

    if (m_search == Search::byName) {
        m_searchField = new QLineEdit;
        m_searchField->setClearButtonEnabled(true);
        m_searchField->installEventFilter(this);
        connect(m_searchField, &QLineEdit::textChanged, this, &PickerPopup::filter);
        auto* padding = new QVBoxLayout;
        padding->setContentsMargins(searchFieldPadding, searchFieldPadding, searchFieldPadding,
                                    searchFieldPadding);
        padding->addWidget(m_searchField);
        layout->addLayout(padding);
        auto* divider = new QFrame;
        divider->setFrameShape(QFrame::HLine);
        divider->setFrameShadow(QFrame::Sunken);
        layout->addWidget(divider);
    }

    m_list = new QListView;
    m_list->setModel(&m_model);
    m_list->setFrameShape(QFrame::NoFrame);
    // Rows of one height let the list lay out thousands of entries without asking each one for
    // its size, which would make every icon at once.
    m_list->setUniformItemSizes(true);
    m_list->setIconSize(QSize(IconView::iconSide, IconView::iconSide));
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->installEventFilter(this);
    connect(m_list, &QListView::clicked, this, &PickerPopup::pick);
    layout->addWidget(m_list, 1);

    if (m_search == Search::byName) {
        m_noMatches = new QWidget;
        auto* padding = new QVBoxLayout(m_noMatches);
        m_noMatchesText = new QLabel;
        m_noMatchesText->setWordWrap(true);
        TextStyles::makeCaption(*m_noMatchesText);
        TextStyles::makeSecondary(*m_noMatchesText);
        padding->addWidget(m_noMatchesText);
        padding->addStretch();
        m_noMatches->hide();
        layout->addWidget(m_noMatches, 1);
    }
}

void PickerPopup::setTexts(const Texts& texts)
{
    setAccessibleName(texts.listName);
    m_list->setAccessibleName(texts.listName);
    if (m_searchField) {
        m_searchField->setPlaceholderText(texts.searchPlaceholder);
        m_searchField->setAccessibleName(texts.searchPlaceholder);
        m_noMatchesText->setText(texts.noMatches);
    }
}

void PickerPopup::setEntries(QList<PickerListModel::Entry> entries, PictureOf pictureOf)
{
    m_model.setEntries(
        std::move(entries), [this, pictureOf = std::move(pictureOf)](qsizetype entry) {
            const IconView::Picture picture = pictureOf(entry);
            const QPalette& palette = m_list->palette();
            const qreal ratio = m_list->devicePixelRatioF();
            const QColor dimmed = palette.color(QPalette::PlaceholderText);
            QIcon icon(IconView::render(picture, IconView::iconSide, dimmed, ratio));
            // On the highlight of the current row, a dimmed symbol is dimmed highlighted text.
            if (picture.dimmed) {
                QColor onHighlight = palette.color(QPalette::HighlightedText);
                onHighlight.setAlpha(dimmed.alpha());
                icon.addPixmap(IconView::render(picture, IconView::iconSide, onHighlight, ratio),
                               QIcon::Selected);
            }
            return icon;
        });
}

void PickerPopup::open(const Texts& texts, QList<PickerListModel::Entry> entries,
                       PictureOf pictureOf, const QString& currentID)
{
    if (!m_list)
        build();
    setTexts(texts);
    setEntries(std::move(entries), std::move(pictureOf));
    if (m_searchField) {
        const QSignalBlocker quiet(m_searchField);
        m_searchField->clear();
    }
    filter(QString());
    m_list->clearSelection();
    m_list->setCurrentIndex(m_model.indexOf(currentID));

    setLayoutDirection(m_anchor.layoutDirection());
    move(position(size(), anchorGeometry(), m_anchor.screen()->availableGeometry(),
                  layoutDirection()));
    setAttribute(Qt::WA_NoMouseReplay, false);
    QWidget* focus = m_searchField ? static_cast<QWidget*>(m_searchField) : m_list;
    // Set before showing, the focus is where Qt puts it as the pop-up opens; set again after, in
    // case the pop-up was already open.
    focus->setFocus(Qt::PopupFocusReason);
    show();
    focus->setFocus(Qt::PopupFocusReason);
    if (m_list->currentIndex().isValid())
        m_list->scrollTo(m_list->currentIndex(), QAbstractItemView::PositionAtCenter);
    else
        m_list->scrollToTop();
}

QPoint PickerPopup::position(QSize size, const QRect& anchor, const QRect& screen,
                             Qt::LayoutDirection direction)
{
    int x = direction == Qt::RightToLeft ? anchor.right() + 1 - size.width() : anchor.left();
    // Wider than the screen: its leading edge stays on it.
    x = direction == Qt::RightToLeft
            ? std::min(std::max(x, screen.left()), screen.right() + 1 - size.width())
            : std::max(std::min(x, screen.right() + 1 - size.width()), screen.left());

    const int below = anchor.bottom() + 1 + gapToAnchor;
    const int above = anchor.top() - gapToAnchor - size.height();
    int y = below;
    if (below + size.height() > screen.bottom() + 1) {
        const bool moreRoomAbove = anchor.top() - screen.top() > screen.bottom() - anchor.bottom();
        if (above >= screen.top() || moreRoomAbove)
            y = above;
        // Taller than the room on either side: on the screen, over the button.
        y = std::max(std::min(y, screen.bottom() + 1 - size.height()), screen.top());
    }
    return {x, y};
}

bool PickerPopup::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool confirms = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == m_list && (confirms || key == Qt::Key_Space)) {
        pick(m_list->currentIndex());
        return true;
    }
    if (watched == m_searchField && m_searchField) {
        // Typing a name is no choice: only the list confirms, so Return here does nothing.
        if (confirms)
            return true;
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
            key == Qt::Key_PageDown) {
            QCoreApplication::sendEvent(m_list, event);
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void PickerPopup::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

void PickerPopup::mousePressEvent(QMouseEvent* event)
{
    // A click on the button that opened the pop-up only closes it: passed on to the button, it
    // would open it again at once.
    if (!rect().contains(event->position().toPoint()) &&
        anchorGeometry().contains(event->globalPosition().toPoint()))
        setAttribute(Qt::WA_NoMouseReplay);
    QFrame::mousePressEvent(event);
}

void PickerPopup::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_model.forgetIcons();
}

void PickerPopup::pick(const QModelIndex& index)
{
    const qsizetype entry = m_model.entryAt(index);
    if (entry < 0)
        return;
    const QString id = m_model.idAt(index);
    close();
    Q_EMIT picked(id, entry);
}

void PickerPopup::filter(const QString& text)
{
    const QString currentID = m_model.idAt(m_list->currentIndex());
    m_model.setFilter(text);
    const QModelIndex current = m_model.indexOf(currentID);
    if (current.isValid()) {
        m_list->setCurrentIndex(current);
        m_list->scrollTo(current);
    }
    if (m_noMatches) {
        const bool nothingMatches = m_model.rowCount() == 0;
        m_list->setVisible(!nothingMatches);
        m_noMatches->setVisible(nothingMatches);
    }
}

QRect PickerPopup::anchorGeometry() const
{
    return {m_anchor.mapToGlobal(QPoint(0, 0)), m_anchor.size()};
}

} // namespace korvalen
