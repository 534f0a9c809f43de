#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QList>
#include <QVariant>

#include <optional>

namespace korvalen {

// Method calls to one desktop daemon, made on the main thread without holding it long: each call
// waits at most callTimeoutMs for its reply, and after a call that ran out the daemon is not asked
// again for quietPeriodMs, so a hung daemon costs the interface one short wait, not one per call.
// A daemon that is not running costs nothing: the bus answers for it at once.
class BoundedDBusCalls {
public:
    static constexpr int callTimeoutMs = 40;
    static constexpr int quietPeriodMs = 2000;

    // The reply's arguments; none when the call failed, ran out, or was not made because the
    // daemon is in its quiet period.
    std::optional<QList<QVariant>> call(const QDBusConnection& bus, const QDBusMessage& request);

    // Whether calls are being skipped because the daemon let the last one run out.
    bool isQuiet() const;

private:
    QDeadlineTimer m_quietUntil;
};

} // namespace korvalen
