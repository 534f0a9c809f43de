#include "rules_window/SymbolIcons.h"

#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

namespace korvalen::SymbolIcons {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

enum class Mirroring { none, horizontal };

// The shipped images are black masks; painted in the palette's text colour they read on light and
// dark themes alike. The colour is the one of the moment the icon is asked for, so views ask
// again when their palette changes.
QIcon shipped(const QString& name, Mirroring mirroring = Mirroring::none)
{
    const QColor colour = QGuiApplication::palette().color(QPalette::WindowText);
    // A window shows the same few symbols on every row: each is decoded and painted once a colour.
    static QHash<QString, QIcon> made;
    const QString key = name + (mirroring == Mirroring::horizontal ? u"<"_s : u">"_s) +
                        colour.name(QColor::HexArgb);
    if (const auto found = made.constFind(key); found != made.constEnd())
        return *found;
    QIcon icon;
    for (const int size : {16, 32, 64}) {
        QImage image(u":/korvalen/symbols/"_s + name + u'-' + QString::number(size) + u".png"_s);
        if (image.isNull())
            continue;
        if (mirroring == Mirroring::horizontal)
            image = image.mirrored(true, false);
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), colour);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    icon.setIsMask(true);
    made.insert(key, icon);
    return icon;
}

QIcon themedOrShipped(const QString& themeName, const QString& shippedName,
                      Mirroring mirroring = Mirroring::none)
{
    if (QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    return shipped(shippedName, mirroring);
}

} // namespace

QIcon keyboard()
{
    return themedOrShipped(u"input-keyboard"_s, u"keyboard"_s);
}

QIcon lightbulb()
{
    return shipped(u"lightbulb"_s);
}

QIcon info()
{
    return themedOrShipped(u"dialog-information"_s, u"info"_s);
}

QIcon trash()
{
    return themedOrShipped(u"edit-delete"_s, u"trash"_s);
}

QIcon chevronDown()
{
    return themedOrShipped(u"go-down"_s, u"chevron-down"_s);
}

QIcon arrowForward(Qt::LayoutDirection direction)
{
    if (direction == Qt::RightToLeft)
        return themedOrShipped(u"go-previous"_s, u"arrow-forward"_s, Mirroring::horizontal);
    return themedOrShipped(u"go-next"_s, u"arrow-forward"_s);
}

} // namespace korvalen::SymbolIcons
