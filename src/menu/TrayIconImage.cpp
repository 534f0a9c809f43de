#include "menu/TrayIconImage.h"

#include <QDir>
#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

const QString themeIconName = u"input-keyboard"_s;

QPixmap tinted(const QImage& mask, const QColor& colour)
{
    QImage image = mask.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
    painter.end();
    return QPixmap::fromImage(image);
}

QIcon shippedImage(const QColor& colour, const QString& folder)
{
    QIcon icon;
    const QStringList files = QDir(folder).entryList({u"keyboard-*.png"_s}, QDir::Files);
    for (const QString& file : files) {
        const QImage mask(folder + u'/' + file);
        if (!mask.isNull())
            icon.addPixmap(tinted(mask, colour));
    }
    return icon;
}

QIcon keyboardCharacter(const QColor& colour)
{
    constexpr int size = 64;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QFont font;
    font.setPixelSize(size * 3 / 4);
    painter.setFont(font);
    painter.setPen(colour);
    // U+FE0E asks for the plain text form of the character rather than a coloured emoji.
    painter.drawText(pixmap.rect(), Qt::AlignCenter, u"\u2328\uFE0E"_s);
    painter.end();
    return QIcon(pixmap);
}

} // namespace

QIcon trayIconImage(const QColor& colour)
{
    return trayIconImage(colour, u":/korvalen/tray"_s);
}

QIcon trayIconImage(const QColor& colour, const QString& shippedImageFolder)
{
    QIcon icon = QIcon::hasThemeIcon(themeIconName) ? QIcon::fromTheme(themeIconName)
                                                    : shippedImage(colour, shippedImageFolder);
    if (icon.isNull())
        icon = keyboardCharacter(colour);
    // The theme's icon too: on macOS the theme is the system's symbols, drawn in the palette's
    // colour, and only a mask follows the menu bar's own. Other trays ignore the mark.
    icon.setIsMask(true);
    return icon;
}

} // namespace korvalen
