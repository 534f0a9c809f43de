#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/time.h>

namespace korvalen::testing {

// Desktop entry folders in a temporary directory that is removed afterwards.
class TemporaryApplicationFolders {
public:
    // "<temporary>/<relativePath>", e.g. path("home/applications").
    QString path(const QString& relativePath) const { return m_root.filePath(relativePath); }

    // Writes a file (with its folders) and gives its path.
    QString write(const QString& relativePath, const QByteArray& contents) const
    {
        const QString filePath = path(relativePath);
        QDir().mkpath(QFileInfo(filePath).path());
        QFile file(filePath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(filePath);
        file.write(contents);
        return filePath;
    }

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

private:
    QTemporaryDir m_root;
};

} // namespace korvalen::testing
