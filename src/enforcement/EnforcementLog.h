#pragma once

#include "support/Clock.h"

#include <QString>

namespace korvalen {

// The enforcement log: one line per event or decision, "[2026-12-06 14:03:59 +0000] message",
// appended in UTC. The file sits in a folder every user can write to, so it is opened without
// following symbolic links, created readable by its owner only, and left alone (the line is
// dropped) unless it is a regular file of ours; otherwise another user could redirect our lines
// into a file of ours or read which sites we visit. Lines that cannot be written are dropped.
class EnforcementLog {
public:
    static inline const QString defaultPath = QStringLiteral("/tmp/korvalen_enforce.log");

    EnforcementLog(QString path, const Clock& clock);

    void write(const QString& message) const;

private:
    QString m_path;
    const Clock& m_clock;
};

} // namespace korvalen
