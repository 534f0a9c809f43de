#pragma once

#include "input/InputSource.h"

#include <QList>
#include <QPushButton>
#include <QString>

namespace korvalen {

class InputSourceIconView;
class ItemIcons;
class PickerFace;
class PickerPopup;

// A button that shows the chosen input source (its icon and name, or the placeholder "选择输入法"
// when the selection matches no source) and opens a list of sources to pick from.
//
// The selection belongs to the owner: picking an entry only emits picked(), and the owner decides
// what the button shows next through setSelection().
class InputSourcePickerButton : public QPushButton {
    Q_OBJECT
public:
    explicit InputSourcePickerButton(const ItemIcons& icons, QWidget* parent = nullptr);
    ~InputSourcePickerButton() override;

    // The entries offered, in this order.
    void setSources(QList<InputSource> sources);
    // The identifier of the chosen source; empty for none.
    void setSelection(const QString& id);
    QString selection() const;

    // Looks the placeholder and accessible texts up again.
    void retranslate();

Q_SIGNALS:
    // The user picked a source (never an empty identifier); the list has closed.
    void picked(const QString& id);

private:
    void openPopup();
    void showSelection();

    const ItemIcons& m_icons;
    QList<InputSource> m_sources;
    QString m_selection;
    InputSourceIconView* m_iconView;
    PickerFace* m_face;
    PickerPopup* m_popup;
};

} // namespace korvalen
