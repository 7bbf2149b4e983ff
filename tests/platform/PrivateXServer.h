#pragma once

#include <QByteArray>

#include <sys/types.h>

// A private X server (Xvfb, no TCP) for one test process, on a display number it picks
// itself. It is ended with this object, and also when the process that started it dies
// without cleaning up (it is told with SIGTERM, so it still removes its lock and socket).
// Start it before the application object: it forks.
class PrivateXServer final
{
public:
    PrivateXServer() = default;
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer &) = delete;
    PrivateXServer &operator=(const PrivateXServer &) = delete;

    // Starts Xvfb and waits until it accepts clients; false when it does not come up.
    bool start();
    // ":N", for DISPLAY.
    QByteArray display() const { return m_display; }

private:
    void stop();

    pid_t m_pid = -1;
    QByteArray m_display;
};
