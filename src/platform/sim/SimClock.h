#pragma once

#include "support/Clock.h"

namespace korvalen {

// A clock that shows whatever time the test sets.
class SimClock final : public Clock {
public:
    explicit SimClock(QDateTime now)
        : m_now(std::move(now))
    {
    }

    QDateTime now() const override { return m_now; }
    void setNow(const QDateTime& now) { m_now = now; }

private:
    QDateTime m_now;
};

} // namespace korvalen
