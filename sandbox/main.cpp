#include "SandboxOptions.h"
#include "SandboxServer.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <pthread.h>
#include <thread>

int main(int argc, char **argv)
{
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    const std::optional<SandboxOptions> options
        = SandboxOptions::parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "tallyport-sandbox: " << error << "\n" << SandboxOptions::usage();
        return 2;
    }
    if (options->help) {
        std::cout << SandboxOptions::usage();
        return 0;
    }

    // SIGTERM and SIGINT are taken by one watcher thread; every other thread blocks them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SandboxServer server(*options);
    if (!server.start(error)) {
        std::cerr << "tallyport-sandbox: " << error << std::endl;
        return 1;
    }

    std::atomic<bool> finished {false};
    std::thread watcher([&server, &finished, stopSignals] {
        int received = 0;
        sigwait(&stopSignals, &received);
        // The server may not have entered its loop yet: keep asking until it has left it.
        while (!finished) {
            server.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });

    std::cout << server.listeningLine() << std::endl;
    const bool served = server.run();
    finished = true;
    pthread_kill(watcher.native_handle(), SIGTERM);
    watcher.join();
    return served ? 0 : 1;
}
