#include "rules_window/SearchableAppPickerButton.h"

#include "localization/Localized.h"
#include "rules_window/AppIconView.h"
#include "rules_window/PickerFace.h"
#include "rules_window/PickerPopup.h"

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

SearchableAppPickerButton::SearchableAppPickerButton(const ItemIcons& icons, AppList apps,
                                                     QWidget* parent)
    : QPushButton(parent)
    , m_icons(icons)
    , m_apps(std::move(apps))
    , m_iconView(new AppIconView(icons))
    , m_face(new PickerFace(*this, *m_iconView))
    , m_popup(new PickerPopup(*this, QSize(240, 320), PickerPopup::Search::byName))
{
    setFixedWidth(200);
    connect(this, &QPushButton::clicked, this, &SearchableAppPickerButton::openPopup);
    connect(m_popup, &PickerPopup::picked, this, [this](const QString&, qsizetype entry) {
        const InstalledApp app = m_offered.at(entry);
        Q_EMIT picked(app);
    });
    retranslate();
}

SearchableAppPickerButton::~SearchableAppPickerButton() = default;

void SearchableAppPickerButton::setSelection(const InstalledApp& app)
{
    m_selection = app;
    showSelection();
}

QString SearchableAppPickerButton::selection() const
{
    return m_selection.bundleID;
}

void SearchableAppPickerButton::retranslate()
{
    showSelection();
}

void SearchableAppPickerButton::openPopup()
{
    m_offered = m_apps ? m_apps() : QList<InstalledApp>();
    QList<PickerListModel::Entry> entries;
    entries.reserve(m_offered.size());
    for (const InstalledApp& app : std::as_const(m_offered))
        entries.append({app.bundleID, app.displayName});
    m_popup->open(
        {localized(u"选择应用"_s), localized(u"搜索应用"_s), localized(u"没有匹配的应用"_s)},
        std::move(entries),
        [this](qsizetype entry) {
            return AppIconView::pictureOf(m_icons, m_offered.at(entry).bundlePath);
        },
        m_selection.bundleID);
}

void SearchableAppPickerButton::showSelection()
{
    if (m_selection.bundleID.isEmpty()) {
        m_face->show(localized(u"选择应用"_s), false, true);
        return;
    }
    m_iconView->setBundlePath(m_selection.bundlePath);
    // A record without a name still says which application it is.
    const QString& name =
        m_selection.displayName.isEmpty() ? m_selection.bundleID : m_selection.displayName;
    m_face->show(name, true, false);
}

} // namespace korvalen
