// Another X client for the hot-key tests: it shows a small window that can take the keyboard
// focus, and grabs key combinations on the root window the way another program holding a
// hot key does.
//
//   RivalXClient [KEYSYM MODIFIERS]...     (numbers; 0x for hexadecimal)
//
// Prints "window ID" once its window is mapped, then per combination "grabbed",
// "refused ERROR" or "no key", and runs until its standard input closes. It also ends when
// the process that started it ends.
#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// The first key that produces `keysym` unshifted or shifted in the first group; 0 if none.
xcb_keycode_t keycodeOf(xcb_connection_t *connection, xcb_keysym_t keysym)
{
    const xcb_setup_t *setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t *mapping = xcb_get_keyboard_mapping_reply(connection,
        xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<uint8_t>(count)),
        nullptr);
    if (!mapping)
        return 0;
    const int perKeycode = mapping->keysyms_per_keycode;
    const xcb_keysym_t *table = xcb_get_keyboard_mapping_keysyms(mapping);
    xcb_keycode_t found = 0;
    for (int i = 0; i < count && !found; ++i) {
        for (int level = 0; level < perKeycode && level < 2; ++level) {
            if (table[i * perKeycode + level] == keysym) {
                found = static_cast<xcb_keycode_t>(setup->min_keycode + i);
                break;
            }
        }
    }
    std::free(mapping);
    return found;
}

} // namespace

int main(int argc, char **argv)
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "RivalXClient: cannot connect to the display\n");
        return 2;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_screen_t *screen = screens.data;

    const xcb_window_t window = xcb_generate_id(connection);
    const uint32_t background = screen->white_pixel;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 200, 100, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, &background);
    xcb_map_window(connection, window);
    // A round trip: the window is mapped (there is no window manager to wait for).
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    std::printf("window %u\n", window);

    for (int i = 1; i + 1 < argc; i += 2) {
        const auto keysym = static_cast<xcb_keysym_t>(std::strtoul(argv[i], nullptr, 0));
        const auto modifiers = static_cast<uint16_t>(std::strtoul(argv[i + 1], nullptr, 0));
        const xcb_keycode_t keycode = keycodeOf(connection, keysym);
        if (!keycode) {
            std::printf("no key\n");
            continue;
        }
        xcb_generic_error_t *error = xcb_request_check(connection,
            xcb_grab_key_checked(connection, 1, screen->root, modifiers, keycode,
                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (error)
            std::printf("refused %d\n", error->error_code);
        else
            std::printf("grabbed\n");
        std::free(error);
    }
    std::fflush(stdout);

    // Run until standard input closes, dropping whatever events arrive.
    pollfd watched[2]
        = {{STDIN_FILENO, POLLIN, 0}, {xcb_get_file_descriptor(connection), POLLIN, 0}};
    for (;;) {
        if (poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (watched[1].revents) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(connection))
                std::free(event);
            if (xcb_connection_has_error(connection))
                break;
        }
        if (watched[0].revents) {
            char buffer[64];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
                break;
        }
    }
    // Give the grabs back and wait until the server has done so: when this process has ended,
    // the combinations are free.
    xcb_ungrab_key(connection, XCB_GRAB_ANY, screen->root, XCB_MOD_MASK_ANY);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
    return 0;
}
