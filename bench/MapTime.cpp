// Starts a program on the X display of $DISPLAY and reports, on one line, the milliseconds
// from the fork to the MapNotify of its window named TITLE, and its resident memory (kB)
// WAIT_MS after that; then ends the program (SIGTERM, then SIGKILL). Exit status 1 when the
// window did not map within 30 s.
//   MapTime TITLE WAIT_MS PROGRAM [ARGUMENT...]
#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

std::string windowName(
    xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 256), nullptr);
    std::string name;
    if (reply) {
        name.assign(static_cast<const char *>(xcb_get_property_value(reply)),
            xcb_get_property_value_length(reply));
        std::free(reply);
    }
    return name;
}

long residentKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

void end(pid_t pid)
{
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: MapTime TITLE WAIT_MS PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    const std::string title = argv[1];
    const int waitMs = std::atoi(argv[2]);
    // A display that has just been started may not take connections for a moment.
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    for (int i = 0; i < 40 && xcb_connection_has_error(connection); ++i) {
        xcb_disconnect(connection);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        connection = xcb_connect(nullptr, &screenNumber);
    }
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "MapTime: no X display\n");
        return 2;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t netWmName = atom(connection, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(connection, "UTF8_STRING");
    xcb_flush(connection);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execvp(argv[3], argv + 3);
        std::fprintf(stderr, "MapTime: cannot start %s: %s\n", argv[3], std::strerror(errno));
        ::_exit(127);
    }
    const auto deadline = start + std::chrono::seconds(30);
    double mappedMs = -1;
    pollfd watch {xcb_get_file_descriptor(connection), POLLIN, 0};
    bool exited = false;
    while (mappedMs < 0 && !exited && std::chrono::steady_clock::now() < deadline) {
        xcb_generic_event_t *event = xcb_poll_for_event(connection);
        if (!event) {
            exited = ::waitpid(pid, nullptr, WNOHANG) == pid;
            if (xcb_connection_has_error(connection))
                break;
            ::poll(&watch, 1, 100);
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (windowName(connection, map->window, netWmName, utf8) == title)
                mappedMs = std::chrono::duration<double, std::milli>(now - start).count();
        }
        std::free(event);
    }
    if (mappedMs < 0) {
        std::fprintf(stderr, "MapTime: no window \"%s\" mapped%s\n", title.c_str(),
            exited ? " (the program ended)" : "");
        if (!exited)
            end(pid);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    const long rss = residentKb(pid);
    end(pid);
    std::printf("%.1f %ld\n", mappedMs, rss);
    xcb_disconnect(connection);
    return 0;
}
