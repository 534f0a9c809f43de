#pragma once

#include <QIcon>
#include <QLabel>
#include <QPixmap>

namespace korvalen {

// A small square picture that never takes the focus and is drawn again when the palette changes;
// the icon views of the rules window and the symbols beside them. The text beside it names what
// it shows, so it has no accessible name of its own.
class IconView : public QLabel {
    Q_OBJECT
public:
    // The side of the icons of list rows and picker buttons.
    static constexpr int iconSide = 18;

    // What a view shows: an icon, how it fills the square, and whether it is dimmed (as a symbol
    // standing in for a missing icon is, in the palette's placeholder-text colour).
    struct Picture {
        enum class Scaling { stretch, fit };

        QIcon icon;
        Scaling scaling = Scaling::fit;
        bool dimmed = false;
    };

    // The picture drawn as a view draws it, `side` × `side` pixels at the pixel ratio, so that
    // list rows show exactly what the views show. Dimmed, a mask (a shipped symbol) is drawn in
    // `dimmedColour`; a theme's icon, which may have colours of its own, is drawn faded as much.
    static QPixmap render(const Picture& picture, int side, const QColor& dimmedColour,
                          qreal pixelRatio);

    explicit IconView(int side = iconSide, QWidget* parent = nullptr);

    void setPicture(Picture picture);

protected:
    void changeEvent(QEvent* event) override;

private:
    void redraw();

    int m_side;
    Picture m_picture;
};

} // namespace korvalen
