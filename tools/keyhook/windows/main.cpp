// KeyHook.exe: a low-level keyboard hook (WH_KEYBOARD_LL) that takes the codes a keyboard-wedge
// scanner types (digits, main row or keypad, ended by Enter) and sends each to the cashier
// client connected on 127.0.0.1:1234 (--port to change it). The keys still reach the window
// that has the focus.
#include "KeyHookServer.h"
#include "VirtualKeyDecoder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMetaObject>

#include <cstdio>

#include <windows.h>

namespace {

KeyHookServer *s_server = nullptr;
VirtualKeyDecoder s_decoder;

LRESULT CALLBACK keyboardHook(int code, WPARAM message, LPARAM data)
{
    if (code == HC_ACTION && (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)) {
        const auto *key = reinterpret_cast<const KBDLLHOOKSTRUCT *>(data);
        // The pace is the keys' own (their time stamps), not that of this process, which may
        // be handed a person's slow keys in a burst when it was busy.
        if (const std::optional<std::string> scanned = s_decoder.press(key->vkCode, key->time)) {
            // Sent after the hook has returned: a hook must answer at once.
            const QByteArray line = QByteArray::fromStdString(*scanned);
            QMetaObject::invokeMethod(
                s_server, [line] { s_server->sendCode(line); }, Qt::QueuedConnection);
        }
    }
    return CallNextHookEx(nullptr, code, message, data);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption portOption("port", "TCP port on 127.0.0.1.", "port", "1234");
    parser.addOption(portOption);
    parser.process(app);

    KeyHookServer server;
    if (!server.listen(static_cast<quint16>(parser.value(portOption).toUInt()))) {
        std::fprintf(stderr, "KeyHook: cannot listen on 127.0.0.1:%s\n",
            qPrintable(parser.value(portOption)));
        return 1;
    }
    s_server = &server;
    // The hook calls back on this thread, whose event loop runs its messages.
    const HHOOK hook
        = SetWindowsHookExW(WH_KEYBOARD_LL, keyboardHook, GetModuleHandleW(nullptr), 0);
    if (!hook) {
        std::fprintf(stderr, "KeyHook: cannot hook the keyboard (%lu)\n", GetLastError());
        return 1;
    }
    std::printf("KeyHook listening on 127.0.0.1:%u\n", server.port());
    std::fflush(stdout);
    const int status = app.exec();
    UnhookWindowsHookEx(hook);
    return status;
}
