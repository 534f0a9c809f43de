#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace korvalen::testing {

// A temporary directory, removed afterwards, in which a test writes the files it needs.
class TemporaryFolder {
public:
    // "<temporary>/<relativePath>".
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

private:
    QTemporaryDir m_root;
};

} // namespace korvalen::testing
