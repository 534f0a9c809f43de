#include "FuzzTarget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Made before, and so destroyed after, the objects that targets keep between inputs; Qt's
    // event loop, timers and sockets want it for as long as inputs run.
    static QCoreApplication application(*argc, *argv);
    return 0;
}

namespace korvalen::fuzz {

const QString& scratchFolder()
{
    static const QTemporaryDir folder = [] {
        const QFileInfo memory(QStringLiteral("/dev/shm"));
        const QString root =
            memory.isDir() && memory.isWritable() ? memory.filePath() : QDir::tempPath();
        return QTemporaryDir(root + QStringLiteral("/korvalen-fuzz-XXXXXX"));
    }();
    static const QString path = folder.path();
    return path;
}

void require(bool holds, const char* invariant)
{
    if (holds)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
}

} // namespace korvalen::fuzz
