#include "platform/linux/Fcitx5SwitchFollowThrough.h"

namespace korvalen {

Fcitx5SwitchFollowThrough::Fcitx5SwitchFollowThrough(Fcitx5Controller& controller)
    : m_controller(controller)
{
    m_lookAgain.setInterval(lookIntervalMs);
    QObject::connect(&m_lookAgain, &QTimer::timeout, [this] { lookNow(); });
}

bool Fcitx5SwitchFollowThrough::start(const QString& inputMethod)
{
    stop();
    const std::optional<QString> focused = m_controller.focusedInputContext();
    if (!focused)
        return false;
    if (!focused->isEmpty() && !m_controller.setCurrentInputMethod(inputMethod))
        return false;
    m_inputMethod = inputMethod;
    m_contextFocusedAtStart = *focused;
    m_until.setRemainingTime(followThroughMs);
    m_lookAgain.start();
    return true;
}

void Fcitx5SwitchFollowThrough::stop()
{
    m_lookAgain.stop();
}

void Fcitx5SwitchFollowThrough::lookNow()
{
    if (!isFollowingThrough())
        return;
    if (m_until.hasExpired()) {
        stop();
        return;
    }
    const std::optional<QString> focused = m_controller.focusedInputContext();
    if (!focused || focused->isEmpty() || *focused == m_contextFocusedAtStart)
        return;
    stop();
    if (m_controller.setCurrentInputMethod(m_inputMethod))
        m_switchedLate.emit();
}

} // namespace korvalen
