#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace korvalen {

// A one-line notice that confirms what a menu command did: a small rounded panel under the tray
// icon that fades in, stays a moment and fades out. It never takes the focus or the mouse, so
// whatever the user was doing carries on underneath it.
class FeedbackHUD : public QObject {
    Q_OBJECT
public:
    static constexpr int fadeInMilliseconds = 150;
    static constexpr int dismissAfterMilliseconds = 1600;
    static constexpr int fadeOutMilliseconds = 250;

    explicit FeedbackHUD(QObject* parent = nullptr);
    ~FeedbackHUD() override;

    // The notice of the running application.
    static FeedbackHUD& shared();

    // Shows `message` at once, closing any notice still on screen, and dismisses it 1.6 s later.
    // `near` is the tray icon's rectangle on screen when the tray tells it; without one the
    // notice hangs near the top of the primary screen.
    void show(const QString& message, const std::optional<QRect>& near);

    // Where a notice of `size` goes: centred 6 px under the icon, moved sideways to stay on the
    // icon's `screen` and above the icon when the screen ends beneath it; without an icon,
    // centred on `screen` with its lower edge 60 px below the screen's top (a 1440 × 900 screen
    // at the origin when there is no screen). A notice wider than the screen is never cut.
    static QPoint position(QSize size, const std::optional<QRect>& near,
                           const std::optional<QRect>& screen);

    // The panel of the most recent notice while it is on screen.
    QWidget* panel() const { return m_panel; }

private:
    void dismiss();
    void closeAtOnce();

    QPointer<QWidget> m_panel;
    // A child, so that tests can find it and run the dismissal early.
    QTimer m_dismissTimer{this};
};

} // namespace korvalen
