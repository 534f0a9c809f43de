// Plays a browser extension's native messaging host for the tests: connects to Korvalen's socket,
// passes what it reads on its input to Korvalen and what Korvalen sends to its output, and ends
// when either side closes (exit status 0 when its input ended, 1 when Korvalen closed).
//
//   korvalen_fake_browser_host <socket> [--in-child] [--as-user <uid>]
//
// --in-child: the relay runs in a child process, so that this process plays the browser that
// started the host. --as-user: the relay runs as the user and group of that number (needs root).

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool writeAll(int descriptor, const char* data, ssize_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

int relay(const char* socketPath)
{
    const int korvalen = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath, sizeof address.sun_path - 1);
    if (korvalen < 0 ||
        ::connect(korvalen, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return 2;
    pollfd ends[] = {{STDIN_FILENO, POLLIN, 0}, {korvalen, POLLIN, 0}};
    char buffer[65536];
    for (;;) {
        if (::poll(ends, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return 3;
        }
        if (ends[0].revents != 0) {
            const ssize_t size = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (size <= 0)
                return 0;
            if (!writeAll(korvalen, buffer, size))
                return 1;
        }
        if (ends[1].revents != 0) {
            const ssize_t size = ::read(korvalen, buffer, sizeof buffer);
            if (size <= 0 || !writeAll(STDOUT_FILENO, buffer, size))
                return 1;
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2)
        return 2;
    // Korvalen closing the socket is an outcome to report, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);
    bool inChild = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--in-child") == 0)
            inChild = true;
        else if (std::strcmp(argv[i], "--as-user") == 0 && i + 1 < argc) {
            // Its user and group alike, with no other groups, as a process of that user has.
            const int id = std::atoi(argv[++i]);
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid_t(id)) != 0 ||
                ::setuid(uid_t(id)) != 0)
                return 2;
        }
    }
    if (!inChild)
        return relay(argv[1]);
    const pid_t child = ::fork();
    if (child == 0)
        return relay(argv[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 3;
}
