#pragma once

#include "support/Clock.h"

#include <QString>
#include <QStringList>

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

    // The lines in one write: they stay together and in order among other writers' lines.
    void write(const QStringList& messages) const;
    void write(const QString& message) const { write(QStringList{message}); }

private:
    QString m_path;
    const Clock& m_clock;
    // The last second's stamp, kept for the next lines of that second: formatting a date costs
    // more than the rest of a line.
    mutable qint64 m_stampSecond = -1;
    mutable QString m_stamp;
};

} // namespace korvalen
