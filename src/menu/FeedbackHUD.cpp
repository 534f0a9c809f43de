#include "menu/FeedbackHUD.h"

#include <QApplication>
#include <QBitmap>
#include <QLabel>
#include <QMargins>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>

#include <algorithm>

namespace korvalen {

namespace {

constexpr int cornerRadius = 10;
constexpr QMargins textMargins(16, 10, 16, 10);
constexpr int gapBelowIcon = 6;
constexpr int lowerEdgeBelowScreenTop = 60;
constexpr QRect screenWhenThereIsNone(0, 0, 1440, 900);
// Enough of what lies beneath shows through to read as a passing notice, not a window.
constexpr float backgroundOpacity = 0.9f;

// Without a compositing manager the X server ignores the alpha of a translucent window and shows
// its transparent corners black, so the corners are also cut off with a mask. The mask cannot be
// partial: painting the same shape without antialiasing keeps the edge pixels from showing
// darker than the rest where alpha is ignored.
void fillShape(QPainter& painter, QSize size, const QBrush& brush)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(brush);
    painter.drawRoundedRect(QRect(QPoint(), size), cornerRadius, cornerRadius);
}

QBitmap shapeMask(QSize size)
{
    QBitmap mask(size);
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    fillShape(painter, size, Qt::color1);
    painter.end();
    return mask;
}

class NoticePanel : public QWidget {
public:
    // A tool tip window is one the window manager never manages (override-redirect on X11): it
    // stays on top, shows on every desktop and is never activated, with no platform code here.
    explicit NoticePanel(const QString& message)
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput)
        , m_fade(this, "windowOpacity")
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TranslucentBackground);
        setAccessibleName(message);

        auto* label = new QLabel(this);
        // Messages quote application and input source names, which are not markup.
        label->setTextFormat(Qt::PlainText);
        label->setText(message);
        label->setAlignment(Qt::AlignCenter);
        QFont font = QApplication::font();
        font.setPointSizeF(13);
        font.setWeight(QFont::Medium);
        label->setFont(font);
        const QSize textSize = label->sizeHint();
        label->setGeometry(QRect(QPoint(textMargins.left(), textMargins.top()), textSize));

        setFixedSize(textSize.grownBy(textMargins));
        setMask(shapeMask(size()));
    }

    void fadeIn()
    {
        setWindowOpacity(0.0);
        QWidget::show();
        animateOpacity(1.0, FeedbackHUD::fadeInMilliseconds);
    }

    void fadeOut()
    {
        // Its own animation closes only itself, never a panel that has replaced it meanwhile.
        connect(&m_fade, &QAbstractAnimation::finished, this, &QWidget::close,
                Qt::UniqueConnection);
        animateOpacity(0.0, FeedbackHUD::fadeOutMilliseconds);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        // Read at each paint, so the panel follows a switch between a light and a dark desktop.
        QColor background = palette().color(QPalette::Window);
        background.setAlphaF(backgroundOpacity);
        QPainter painter(this);
        fillShape(painter, size(), background);
    }

    // A panel closed at once must not go on fading, nor close itself again when the fade ends.
    void hideEvent(QHideEvent* event) override
    {
        m_fade.stop();
        QWidget::hideEvent(event);
    }

private:
    void animateOpacity(double to, int milliseconds)
    {
        m_fade.stop();
        m_fade.setStartValue(windowOpacity());
        m_fade.setEndValue(to);
        m_fade.setDuration(milliseconds);
        m_fade.start();
    }

    QPropertyAnimation m_fade;
};

} // namespace

FeedbackHUD::FeedbackHUD(QObject* parent)
    : QObject(parent)
{
    m_dismissTimer.setSingleShot(true);
    connect(&m_dismissTimer, &QTimer::timeout, this, &FeedbackHUD::dismiss);
    // The shared notice outlives the application object, and a window still open when that goes
    // is only hidden, never deleted: a panel on screen when the event loop ends goes with it.
    if (const QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, &FeedbackHUD::closeAtOnce);
}

// Without an application object a widget can no longer be deleted safely; at exit, that is moot.
FeedbackHUD::~FeedbackHUD()
{
    if (QCoreApplication::instance())
        closeAtOnce();
}

FeedbackHUD& FeedbackHUD::shared()
{
    static FeedbackHUD hud;
    return hud;
}

void FeedbackHUD::show(const QString& message, const std::optional<QRect>& near)
{
    m_dismissTimer.stop();
    if (m_panel)
        m_panel->close();

    auto* panel = new NoticePanel(message);
    m_panel = panel;
    const QScreen* screenOfIcon = near ? QGuiApplication::screenAt(near->center()) : nullptr;
    const QScreen* shownOn = screenOfIcon ? screenOfIcon : QGuiApplication::primaryScreen();
    const std::optional<QRect> screen =
        shownOn ? std::optional<QRect>(shownOn->geometry()) : std::nullopt;
    panel->move(position(panel->size(), near, screen));
    panel->fadeIn();
    m_dismissTimer.start(dismissAfterMilliseconds);
}

QPoint FeedbackHUD::position(QSize size, const std::optional<QRect>& near,
                             const std::optional<QRect>& screen)
{
    const QRect area = screen.value_or(screenWhenThereIsNone);
    if (!near)
        return {area.x() + area.width() / 2 - size.width() / 2,
                area.y() + lowerEdgeBelowScreenTop - size.height()};

    // A tray sits at the very edge of the screen, often in a corner, and on many desktops at the
    // bottom: centred under the icon as it is, the notice would hang past the screen's side or
    // below its lower edge, half read or not seen at all. So it is kept on the icon's screen and
    // rises above the icon when there is no room beneath it.
    int x = near->x() + near->width() / 2 - size.width() / 2;
    if (size.width() <= area.width())
        x = std::clamp(x, area.left(), area.x() + area.width() - size.width());
    int y = near->y() + near->height() + gapBelowIcon;
    if (y + size.height() > area.y() + area.height())
        y = near->y() - gapBelowIcon - size.height();
    return {x, y};
}

void FeedbackHUD::dismiss()
{
    if (m_panel)
        static_cast<NoticePanel*>(m_panel.data())->fadeOut();
}

void FeedbackHUD::closeAtOnce()
{
    m_dismissTimer.stop();
    delete m_panel.data();
}

} // namespace korvalen
