#pragma once

#include <QDateTime>

namespace korvalen {

// Wall-clock time, injected wherever time is measured or written so tests can set it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace korvalen
