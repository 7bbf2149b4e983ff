#pragma once

#include "Certificates.h"
#include "FaultPlan.h"
#include "GatewayService.h"
#include "Journal.h"
#include "SandboxOptions.h"
#include "SandboxStore.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace httplib {
class SSLServer;
struct Request;
struct Response;
} // namespace httplib

// The HTTPS server of the sandbox, bound to 127.0.0.1. Every request is written to the
// journal before it is answered; gateway requests may be faulted by the fault plan; the
// control paths under /sandbox/ are never faulted:
//   GET  /sandbox/health               200 "ok"
//   POST /sandbox/faults               queue a fault, or {"kind":"clear"}
//   GET  /sandbox/faults               {"code":"100","pending":"N"}
//   ANY  /sandbox/redirect/N/<path>    307 to /sandbox/redirect/N-1/<path>; N = 0 serves <path>
class SandboxServer
{
public:
    static constexpr size_t kMaxBodyBytes = 1024 * 1024;
    static constexpr const char *kHost = "127.0.0.1";

    explicit SandboxServer(SandboxOptions options);
    ~SandboxServer();
    SandboxServer(const SandboxServer &) = delete;
    SandboxServer &operator=(const SandboxServer &) = delete;

    // Prepares the data directory (certificates, database, journal) and binds the port.
    bool start(std::string &error);
    // Serves until stop(); false when the server could not run.
    bool run();
    // Ends run() from any thread; also wakes delayed requests.
    void stop();

    int port() const { return m_port; }
    std::string caPath() const;
    // "tallyport-sandbox listening on https://127.0.0.1:PORT ca=D/ca.pem"
    std::string listeningLine() const;
    FaultPlan &faults() { return m_faults; }

private:
    void dispatch(const httplib::Request &request, httplib::Response &response);
    void control(const httplib::Request &request, httplib::Response &response);
    // True when the fault answered the request itself.
    bool applyFault(
        const Fault &fault, const httplib::Request &request, httplib::Response &response);
    // Answers `request` as if it had come for `path` (a redirect's target).
    void serve(
        const httplib::Request &request, const std::string &path, httplib::Response &response);
    // The offered file, for GET /download/NAME.
    void download(const httplib::Request &request, httplib::Response &response);
    // "https://HOST:PORT" as the request named this server, when HOST is this machine's.
    std::string baseUrlFor(const httplib::Request &request) const;
    void record(const httplib::Request &request);

    SandboxOptions m_options;
    Certificates m_certificates;
    SandboxStore m_store;
    Journal m_journal;
    FaultPlan m_faults;
    GatewayService m_service;
    std::unique_ptr<httplib::SSLServer> m_server;
    int m_port = 0;

    std::mutex m_stopMutex;
    std::condition_variable m_stopSignal;
    bool m_stopping = false;
};
