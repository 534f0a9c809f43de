#include "EnforcementLogWatch.h"

#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace korvalen::bench {

namespace {

long long fileSize(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<long long>(size);
}

} // namespace

EnforcementLogWatch::EnforcementLogWatch(std::string path)
    : m_path(std::move(path))
    , m_inotify(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK))
    , m_offset(fileSize(m_path))
{
    // The folder rather than the file: the log may not exist yet, or be removed and made anew.
    const std::string folder = std::filesystem::path(m_path).parent_path().string();
    ::inotify_add_watch(m_inotify, folder.c_str(), IN_MODIFY | IN_CREATE | IN_MOVED_TO);
}

EnforcementLogWatch::~EnforcementLogWatch()
{
    ::close(m_inotify);
}

bool EnforcementLogWatch::waitForLine(const std::string& text,
                                      std::chrono::steady_clock::time_point deadline)
{
    while (!readNewLines(text)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd events{m_inotify, POLLIN, 0};
        if (::poll(&events, 1, int(left.count())) > 0) {
            // Which file changed does not matter: reading the log's new part is cheap.
            char drained[4096];
            while (::read(m_inotify, drained, sizeof drained) > 0) {
            }
        }
    }
    return true;
}

bool EnforcementLogWatch::readNewLines(const std::string& text)
{
    const long long size = fileSize(m_path);
    if (size < m_offset) { // removed and begun anew
        m_offset = 0;
        m_partialLine.clear();
    }
    if (size == m_offset)
        return false;
    std::ifstream log(m_path, std::ios::binary);
    log.seekg(m_offset);
    std::string added(std::size_t(size - m_offset), '\0');
    log.read(added.data(), std::streamsize(added.size()));
    added.resize(std::size_t(log.gcount()));
    m_offset += static_cast<long long>(added.size());
    m_partialLine += added;
    // Only whole lines: a line written in two parts must not be matched half-way.
    const auto lastNewline = m_partialLine.rfind('\n');
    if (lastNewline == std::string::npos)
        return false;
    const bool found = m_partialLine.substr(0, lastNewline).find(text) != std::string::npos;
    m_partialLine.erase(0, lastNewline + 1);
    return found;
}

} // namespace korvalen::bench
