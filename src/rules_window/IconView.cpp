#include "rules_window/IconView.h"

#include <QEvent>
#include <QPainter>

namespace korvalen {

namespace {

// How faded a dimmed icon is when the palette's placeholder colour is opaque and so gives none.
constexpr qreal fadedOpacity = 0.5;

} // namespace

IconView::IconView(int side, QWidget* parent)
    : QLabel(parent)
    , m_side(side)
{
    setFixedSize(side, side);
    setFocusPolicy(Qt::NoFocus);
}

QPixmap IconView::render(const Picture& picture, int side, const QColor& dimmedColour,
                         qreal pixelRatio)
{
    const QSize size(side, side);
    QPixmap canvas(size * pixelRatio);
    canvas.setDevicePixelRatio(pixelRatio);
    canvas.fill(Qt::transparent);
    if (picture.icon.isNull())
        return canvas;

    // An icon without an image of this size gives a smaller one; stretching draws it over the
    // whole square anyway, fitting keeps its proportions and centres it.
    const QPixmap image = picture.icon.pixmap(size, pixelRatio);
    const QSizeF imageSize = image.deviceIndependentSize();
    QRectF target{QPointF(), QSizeF(size)};
    if (picture.scaling == Picture::Scaling::fit && !imageSize.isEmpty()) {
        const QSizeF fitted = imageSize.scaled(QSizeF(size), Qt::KeepAspectRatio);
        target = QRectF(QPointF((side - fitted.width()) / 2, (side - fitted.height()) / 2), fitted);
    }
    const bool tinted = picture.dimmed && picture.icon.isMask();
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (picture.dimmed && !tinted)
        painter.setOpacity(dimmedColour.alpha() < 255 ? dimmedColour.alphaF() : fadedOpacity);
    painter.drawPixmap(target, image, QRectF(image.rect()));
    if (tinted) {
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(QRectF(QPointF(), QSizeF(size)), dimmedColour);
    }
    painter.end();
    return canvas;
}

void IconView::setPicture(Picture picture)
{
    m_picture = std::move(picture);
    redraw();
}

void IconView::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        redraw();
}

void IconView::redraw()
{
    setPixmap(
        render(m_picture, m_side, palette().color(QPalette::PlaceholderText), devicePixelRatioF()));
}

} // namespace korvalen
