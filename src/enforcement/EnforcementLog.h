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
//
// The file stays open between lines, for as long as it is still the file at the path: one that
// was removed, moved aside or replaced is let go and the path opened afresh. Past the rotation
// size the log is moved aside to "<path>.old", replacing the one before, and begun anew, so it
// never takes more than about twice that size.
class EnforcementLog {
public:
    static inline const QString defaultPath = QStringLiteral("/tmp/korvalen_enforce.log");
    static constexpr qint64 defaultRotationSize = 16 * 1024 * 1024;

    EnforcementLog(QString path, const Clock& clock, qint64 rotationSize = defaultRotationSize);
    ~EnforcementLog();
    EnforcementLog(const EnforcementLog&) = delete;
    EnforcementLog& operator=(const EnforcementLog&) = delete;

    // The lines in one write: they stay together and in order among other writers' lines.
    void write(const QStringList& messages) const;
    void write(const QString& message) const { write(QStringList{message}); }

private:
    // The file to append that many more bytes to, or -1 when there is none we may write to.
    int fileFor(qsizetype bytes) const;
    void closeFile() const;

    QString m_path;
    const Clock& m_clock;
    qint64 m_rotationSize;
    mutable int m_file = -1;
    // The last second's stamp, kept for the next lines of that second: formatting a date costs
    // more than the rest of a line.
    mutable qint64 m_stampSecond = -1;
    mutable QString m_stamp;
};

} // namespace korvalen
