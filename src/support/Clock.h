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
    // In UTC: the local time zone is looked up (files read) for every local time, and the log
    // takes the time on every activation's path. Readers wanting local dates convert.
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
};

} // namespace korvalen
