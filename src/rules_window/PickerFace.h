#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QPushButton;

namespace korvalen {

class IconView;

// The face of a picker button, one row 4 px apart: the chosen item's icon, its name (or the
// placeholder) cut short to fit, and a small dimmed chevron at the far end. The row follows the
// button's layout direction, so it is mirrored from right to left.
class PickerFace : public QObject {
    Q_OBJECT
public:
    // Lays the row out on the button; `icon` becomes the button's child.
    PickerFace(QPushButton& button, IconView& icon);

    // Shows `text` (in the placeholder colour when `dimmed`), with the icon only when `withIcon`.
    // The button takes the whole text as its accessible name.
    void show(const QString& text, bool withIcon, bool dimmed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void elide();

    QPushButton& m_button;
    IconView& m_icon;
    QLabel* m_title = nullptr;
    QString m_text;
};

} // namespace korvalen
