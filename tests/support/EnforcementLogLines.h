#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

namespace korvalen::testing {

// The enforcement log's lines without their time stamps; none while it cannot be read.
inline QStringList enforcementLogLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
        lines.append(line.section(QStringLiteral("] "), 1));
    return lines;
}

} // namespace korvalen::testing
