#pragma once

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <sys/time.h>

namespace korvalen::testing {

// Desktop entry folders in a temporary directory that is removed afterwards.
class TemporaryApplicationFolders : public TemporaryFolder {
public:
    // Writes an application entry with the given name and further lines.
    QString writeApplication(const QString& relativePath, const QByteArray& name,
                             const QByteArray& moreLines = {}) const
    {
        return write(relativePath, "[Desktop Entry]\nType=Application\nName=" + name +
                                       "\nExec=true\n" + moreLines);
    }

    // Sets a folder's modification time an hour back, so that a change made right after it is
    // seen even by file systems with coarse time stamps.
    void age(const QString& relativePath) const
    {
        timeval times[2] = {};
        gettimeofday(&times[0], nullptr);
        times[0].tv_sec -= 3600;
        times[1] = times[0];
        ASSERT_EQ(::utimes(QFile::encodeName(path(relativePath)).constData(), times), 0);
    }
};

} // namespace korvalen::testing
