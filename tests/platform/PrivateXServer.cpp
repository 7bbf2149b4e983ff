#include "PrivateXServer.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kStartTimeoutMs = 15000;
constexpr int kStopTimeoutMs = 5000;

// In the child: exec Xvfb, writing its display number to `displayFd` once it is ready.
[[noreturn]] void execServer(pid_t parent, int displayFd)
{
    // SIGTERM rather than SIGKILL: the server then still removes its lock file and socket.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(127);
    const int descriptor = dup(displayFd); // without close-on-exec
    const int null = open("/dev/null", O_RDWR);
    if (descriptor < 0 || null < 0)
        _exit(127);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    char number[16];
    std::snprintf(number, sizeof number, "%d", descriptor);
    execlp("Xvfb", "Xvfb", "-displayfd", number, "-screen", "0", "1024x768x24", "-nolisten", "tcp",
        static_cast<char *>(nullptr));
    _exit(127);
}

} // namespace

PrivateXServer::~PrivateXServer()
{
    stop();
}

bool PrivateXServer::start()
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return false;
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid == 0)
        execServer(parent, pipeEnds[1]);
    close(pipeEnds[1]);
    if (m_pid < 0) {
        close(pipeEnds[0]);
        return false;
    }

    QByteArray output;
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!output.contains('\n') && !deadline.hasExpired()) {
        pollfd ready {pipeEnds[0], POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(deadline.remainingTime()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            break;
        char buffer[32];
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got <= 0)
            break; // the server ended before it was ready
        output.append(buffer, static_cast<int>(got));
    }
    close(pipeEnds[0]);
    const QByteArray number = output.trimmed();
    if (number.isEmpty()) {
        stop();
        return false;
    }
    m_display = ':' + number;
    return true;
}

void PrivateXServer::stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    QDeadlineTimer deadline(kStopTimeoutMs);
    while (waitpid(m_pid, nullptr, WNOHANG) == 0) {
        if (deadline.hasExpired()) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            break;
        }
        usleep(10000);
    }
    m_pid = -1;
}
