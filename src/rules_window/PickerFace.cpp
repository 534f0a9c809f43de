#include "rules_window/PickerFace.h"

#include "rules_window/IconView.h"
#include "rules_window/SymbolIcons.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace korvalen {

namespace {

constexpr int spacing = 4;
constexpr int chevronSide = 10;

} // namespace

PickerFace::PickerFace(QPushButton& button, IconView& icon)
    : QObject(&button)
    , m_button(button)
    , m_icon(icon)
{
    m_title = new QLabel;
    m_title->setTextFormat(Qt::PlainText);
    m_title->setAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    // The title takes the room between icon and chevron and is cut short to it, so that a long
    // name never widens the button.
    m_title->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_title->setMinimumWidth(1);
    m_title->installEventFilter(this);

    auto* chevron = new IconView(chevronSide);
    chevron->setPicture({SymbolIcons::chevronDown(), IconView::Picture::Scaling::fit, true});

    // The row is drawn on the button but the clicks are the button's.
    for (QWidget* part : {static_cast<QWidget*>(&m_icon), static_cast<QWidget*>(m_title),
                          static_cast<QWidget*>(chevron)})
        part->setAttribute(Qt::WA_TransparentForMouseEvents);

    // The text keeps the inset the style gives a button's own text.
    const int inset = button.style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button) +
                      button.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
    auto* row = new QHBoxLayout(&button);
    row->setContentsMargins(inset, 0, inset, 0);
    row->setSpacing(spacing);
    row->addWidget(&m_icon);
    row->addWidget(m_title);
    row->addWidget(chevron);
}

void PickerFace::show(const QString& text, bool withIcon, bool dimmed)
{
    m_text = text;
    m_icon.setVisible(withIcon);
    m_title->setForegroundRole(dimmed ? QPalette::PlaceholderText : QPalette::ButtonText);
    m_button.setAccessibleName(text);
    elide();
}

bool PickerFace::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_title && (event->type() == QEvent::Show || event->type() == QEvent::Resize ||
                               event->type() == QEvent::FontChange))
        elide();
    return QObject::eventFilter(watched, event);
}

void PickerFace::elide()
{
    // Until the button shows, the title has no width of its own to cut the text to.
    const QString shown =
        m_title->isVisible()
            ? m_title->fontMetrics().elidedText(m_text, Qt::ElideRight, m_title->width())
            : m_text;
    m_title->setText(shown);
    m_button.setToolTip(shown == m_text ? QString() : m_text);
}

} // namespace korvalen
