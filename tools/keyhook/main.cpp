// KeyHook: takes scanned payment codes, one per line, from standard input or from a file or
// FIFO given with --input, or typed by a keyboard-wedge scanner whose input device is given
// with --device (/dev/input/eventN; Enter ends a code), and sends each to the cashier client
// connected on 127.0.0.1:1234 (--port to change it).
#include "EvdevReader.h"
#include "KeyHookServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <unistd.h>

namespace {

// Reads lines from a descriptor as they come, without blocking the event loop.
class LineReader final : public QObject
{
public:
    LineReader(int fd, KeyHookServer *server)
        : m_fd(fd)
        , m_server(server)
        , m_notifier(fd, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { readAvailable(); });
    }

private:
    void readAvailable()
    {
        char chunk[1024];
        const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
        if (count <= 0) {
            // End of input: keep serving the clients, stop watching the descriptor.
            m_notifier.setEnabled(false);
            return;
        }
        m_pending.append(chunk, static_cast<int>(count));
        if (m_pending.size() > 64 * 1024)
            m_pending.clear();
        int end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            m_server->sendCode(m_pending.left(end));
            m_pending.remove(0, end + 1);
        }
    }

    int m_fd;
    KeyHookServer *m_server;
    QSocketNotifier m_notifier;
    QByteArray m_pending;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption portOption("port", "TCP port on 127.0.0.1.", "port", "1234");
    const QCommandLineOption inputOption("input", "File or FIFO to read codes from.", "path");
    const QCommandLineOption deviceOption(
        "device", "A scanner's input device (/dev/input/eventN).", "path");
    parser.addOption(portOption);
    parser.addOption(inputOption);
    parser.addOption(deviceOption);
    parser.process(app);

    KeyHookServer server;
    if (!server.listen(static_cast<quint16>(parser.value(portOption).toUInt()))) {
        std::fprintf(stderr, "KeyHook: cannot listen on 127.0.0.1:%s\n",
            qPrintable(parser.value(portOption)));
        return 1;
    }
    std::printf("KeyHook listening on 127.0.0.1:%u\n", server.port());
    std::fflush(stdout);

    QFile input;
    int fd = STDIN_FILENO;
    if (parser.isSet(inputOption)) {
        input.setFileName(parser.value(inputOption));
        // Read and write, so that a FIFO never reports end of input when a writer leaves.
        if (!input.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
            std::fprintf(stderr, "KeyHook: cannot open %s\n", qPrintable(input.fileName()));
            return 1;
        }
        fd = input.handle();
    }
    LineReader reader(fd, &server);
    EvdevReader device(&server);
    if (parser.isSet(deviceOption) && !device.open(parser.value(deviceOption))) {
        std::fprintf(stderr, "KeyHook: cannot open %s: %s\n",
            qPrintable(parser.value(deviceOption)), std::strerror(errno));
        return 1;
    }
    return app.exec();
}
