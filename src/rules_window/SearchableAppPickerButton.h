#pragma once

#include "apps/InstalledApp.h"

#include <QList>
#include <QPushButton>
#include <QString>

#include <functional>

namespace korvalen {

class AppIconView;
class ItemIcons;
class PickerFace;
class PickerPopup;

// A button that shows the chosen application (its icon and name, or the placeholder "选择应用")
// and opens a searchable list of applications to pick from.
//
// The list is asked for when the button opens it, so typing elsewhere in the window never scans
// the installed applications. Picking an entry only emits picked(); the owner decides what the
// button shows next through setSelection().
class SearchableAppPickerButton : public QPushButton {
    Q_OBJECT
public:
    using AppList = std::function<QList<InstalledApp>()>;

    SearchableAppPickerButton(const ItemIcons& icons, AppList apps, QWidget* parent = nullptr);
    ~SearchableAppPickerButton() override;

    // The chosen application; an empty identifier for none. The application record gives the
    // name and icon the button shows; a record whose identifier is empty shows the placeholder.
    void setSelection(const InstalledApp& app);
    QString selection() const;

    // Looks the placeholder and accessible texts up again.
    void retranslate();

Q_SIGNALS:
    // The user picked an application (never an empty identifier); the list has closed.
    void picked(const InstalledApp& app);

private:
    void openPopup();
    void showSelection();

    const ItemIcons& m_icons;
    AppList m_apps;
    QList<InstalledApp> m_offered; // the list of the last opening
    InstalledApp m_selection;
    AppIconView* m_iconView;
    PickerFace* m_face;
    PickerPopup* m_popup;
};

} // namespace korvalen
