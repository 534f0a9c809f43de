#include "rules_window/InputSourcePickerButton.h"

#include "localization/Localized.h"
#include "rules_window/InputSourceIconView.h"
#include "rules_window/PickerFace.h"
#include "rules_window/PickerPopup.h"

#include <algorithm>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

InputSourcePickerButton::InputSourcePickerButton(const ItemIcons& icons, QWidget* parent)
    : QPushButton(parent)
    , m_icons(icons)
    , m_iconView(new InputSourceIconView(icons))
    , m_face(new PickerFace(*this, *m_iconView))
    , m_popup(new PickerPopup(*this, QSize(220, 320), PickerPopup::Search::none))
{
    setFixedWidth(180);
    connect(this, &QPushButton::clicked, this, &InputSourcePickerButton::openPopup);
    connect(m_popup, &PickerPopup::picked, this, &InputSourcePickerButton::picked);
    retranslate();
}

InputSourcePickerButton::~InputSourcePickerButton() = default;

void InputSourcePickerButton::setSources(QList<InputSource> sources)
{
    m_sources = std::move(sources);
    showSelection();
}

void InputSourcePickerButton::setSelection(const QString& id)
{
    m_selection = id;
    showSelection();
}

QString InputSourcePickerButton::selection() const
{
    return m_selection;
}

void InputSourcePickerButton::retranslate()
{
    showSelection();
}

void InputSourcePickerButton::openPopup()
{
    QList<PickerListModel::Entry> entries;
    for (const InputSource& source : std::as_const(m_sources))
        entries.append({source.id, source.localizedName});
    m_popup->open(
        {localized(u"选择输入法"_s), {}, {}}, std::move(entries),
        // The sources of this opening: the owner may set others while the list shows.
        [this, sources = m_sources](qsizetype entry) {
            return InputSourceIconView::pictureOf(m_icons, sources.at(entry));
        },
        m_selection);
}

void InputSourcePickerButton::showSelection()
{
    const auto selected = m_selection.isEmpty()
                              ? m_sources.cend()
                              : std::ranges::find(m_sources, m_selection, &InputSource::id);
    if (selected == m_sources.cend()) {
        m_face->show(localized(u"选择输入法"_s), false, m_selection.isEmpty());
        return;
    }
    m_iconView->setSource(*selected);
    m_face->show(selected->localizedName, true, false);
}

} // namespace korvalen
