#include "SandboxServer.h"

#include "FieldRules.h"
#include "JsonWriter.h"

#include <httplib.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sys/stat.h>

namespace {

// Marks a response made by the dispatcher, so the error hook journals only requests that
// never reached it (oversized bodies, broken request lines).
const char *const kJournaledHeader = "X-Sandbox-Journaled";
const char *const kJsonType = "application/json; charset=utf-8";
const char *const kRedirectPrefix = "/sandbox/redirect/";

// Creates `path` and its missing parents (owner-only).
bool makeDirectories(const std::string &path, std::string &error)
{
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') {
            continue;
        }
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create " + part + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = path + " is not a directory";
        return false;
    }
    return true;
}

void answerJson(httplib::Response &response, int status, const std::string &body)
{
    response.status = status;
    response.set_content(body, kJsonType);
}

std::string trimmedDir(std::string dir)
{
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

} // namespace

SandboxServer::SandboxServer(SandboxOptions options)
    : m_options(std::move(options))
    , m_certificates(trimmedDir(m_options.dataDir))
    , m_service(m_store, m_options.offerVersion)
{
    m_options.dataDir = trimmedDir(m_options.dataDir);
    m_certificates.setServerHost(m_options.certHost);
}

SandboxServer::~SandboxServer()
{
    stop();
}

std::string SandboxServer::caPath() const
{
    return m_certificates.caPath();
}

std::string SandboxServer::listeningLine() const
{
    return "tallyport-sandbox listening on https://" + std::string(kHost) + ":"
        + std::to_string(m_port) + " ca=" + caPath();
}

bool SandboxServer::start(std::string &error)
{
    if (!makeDirectories(m_options.dataDir, error) || !m_certificates.ensure(error)
        || !m_store.open(m_options.dataDir + "/sandbox.db", error)
        || !m_journal.open(m_options.dataDir + "/journal.jsonl", error)) {
        return false;
    }
    m_server = std::make_unique<httplib::SSLServer>(
        m_certificates.serverCertPath().c_str(), m_certificates.serverKeyPath().c_str());
    if (!m_server->is_valid()) {
        error = "cannot set up TLS with " + m_certificates.serverCertPath();
        return false;
    }
    m_server->new_task_queue = [] { return new httplib::ThreadPool(16); };
    // Answers go out at once instead of waiting for the client's delayed acknowledgement.
    m_server->set_tcp_nodelay(true);
    m_server->set_payload_max_length(kMaxBodyBytes);
    m_server->set_keep_alive_timeout(2);
    m_server->set_read_timeout(5, 0);
    m_server->set_write_timeout(5, 0);

    const auto handler = [this](const httplib::Request &request, httplib::Response &response) {
        dispatch(request, response);
    };
    const std::string any = ".*";
    m_server->Get(any, handler);
    m_server->Post(any, handler);
    m_server->Put(any, handler);
    m_server->Patch(any, handler);
    m_server->Delete(any, handler);
    m_server->Options(any, handler);
    const httplib::Server::HandlerWithResponse errorHook
        = [this](const httplib::Request &request, httplib::Response &response) {
              if (response.has_header(kJournaledHeader)) {
                  return httplib::Server::HandlerResponse::Unhandled;
              }
              try {
                  record(request);
              } catch (...) { }
              const std::string status = std::to_string(response.status);
              response.set_content(JsonWriter::refusal(status,
                                       "HTTP " + status
                                           + " 请求无法处理"
                                             " (the request was refused)"),
                  kJsonType);
              return httplib::Server::HandlerResponse::Handled;
          };
    m_server->set_error_handler(errorHook);
    m_server->set_exception_handler(
        [](const httplib::Request &, httplib::Response &response, std::exception_ptr) {
            answerJson(response, 500,
                JsonWriter::refusal(
                    GatewayService::kInternalError, "沙箱内部错误 (sandbox internal error)"));
        });

    if (m_options.port == 0) {
        m_port = m_server->bind_to_any_port(kHost);
    } else {
        m_port = m_server->bind_to_port(kHost, m_options.port) ? m_options.port : -1;
    }
    if (m_port <= 0) {
        error = "cannot listen on " + std::string(kHost) + ":" + std::to_string(m_options.port);
        return false;
    }
    m_service.setBaseUrl("https://" + std::string(kHost) + ":" + std::to_string(m_port));
    if (!m_options.offerFile.empty())
        m_service.setOfferFileName(
            m_options.offerFile.substr(m_options.offerFile.find_last_of('/') + 1));
    for (const Fault &fault : m_options.faults) {
        m_faults.add(fault);
    }
    return true;
}

bool SandboxServer::run()
{
    {
        std::lock_guard<std::mutex> lock(m_stopMutex);
        if (m_stopping || !m_server) {
            return m_stopping;
        }
    }
    return m_server->listen_after_bind();
}

void SandboxServer::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_stopMutex);
        m_stopping = true;
    }
    m_stopSignal.notify_all();
    if (m_server) {
        m_server->stop();
    }
}

void SandboxServer::record(const httplib::Request &request)
{
    JournalEntry entry;
    entry.method = request.method;
    entry.path = request.path;
    entry.body = request.body;
    std::string lastName;
    for (const auto &header : request.headers) {
        // The server adds these itself; they were not received.
        if (header.first == "REMOTE_ADDR" || header.first == "REMOTE_PORT"
            || header.first == "LOCAL_ADDR" || header.first == "LOCAL_PORT") {
            continue;
        }
        if (!entry.headers.empty() && lastName == header.first) {
            entry.headers.back().second += ", " + header.second;
        } else {
            entry.headers.emplace_back(header.first, header.second);
            lastName = header.first;
        }
    }
    if (!m_journal.append(entry)) {
        std::cerr << "tallyport-sandbox: cannot write the journal" << std::endl;
    }
}

void SandboxServer::dispatch(const httplib::Request &request, httplib::Response &response)
{
    response.set_header(kJournaledHeader, "yes");
    try {
        record(request);
        if (request.path.rfind("/sandbox/", 0) == 0) {
            control(request, response);
            return;
        }
        if (request.path.rfind("/download/", 0) == 0) {
            download(request, response);
            return;
        }
        if (const std::optional<Fault> fault = m_faults.take()) {
            if (applyFault(*fault, request, response)) {
                return;
            }
        }
        serve(request, request.path, response);
    } catch (const std::exception &e) {
        std::cerr << "tallyport-sandbox: " << request.path << ": " << e.what() << std::endl;
        answerJson(response, 500,
            JsonWriter::refusal(
                GatewayService::kInternalError, "沙箱内部错误 (sandbox internal error)"));
    } catch (...) {
        answerJson(response, 500,
            JsonWriter::refusal(
                GatewayService::kInternalError, "沙箱内部错误 (sandbox internal error)"));
    }
}

bool SandboxServer::applyFault(
    const Fault &fault, const httplib::Request &request, httplib::Response &response)
{
    switch (fault.kind) {
    case Fault::Kind::Delay: {
        std::unique_lock<std::mutex> lock(m_stopMutex);
        m_stopSignal.wait_for(
            lock, std::chrono::milliseconds(fault.value), [this] { return m_stopping; });
        return false;
    }
    case Fault::Kind::Status: {
        const std::string status = std::to_string(fault.value);
        answerJson(
            response, fault.value, JsonWriter::refusal(status, "sandbox fault: HTTP " + status));
        return true;
    }
    case Fault::Kind::InvalidJson:
        response.status = 200;
        response.set_content("<html><body>sandbox fault: this answer is not JSON {\"code\":",
            "text/html; charset=utf-8");
        return true;
    case Fault::Kind::Redirect:
        if (!fault.body.empty()) {
            response.set_redirect(fault.body, 307);
            return true;
        }
        response.set_redirect(
            kRedirectPrefix + std::to_string(fault.value - 1) + request.path, 307);
        return true;
    case Fault::Kind::Body:
        response.status = 200;
        response.set_content(fault.body, kJsonType);
        return true;
    case Fault::Kind::PaidLate:
        if (request.method == "POST" && request.path == "/api/face") {
            answerJson(response, 200, m_service.face(request.body, fault.value));
            return true;
        }
        return false;
    case Fault::Kind::CutReply: {
        // Served as usual, then the connection closes halfway through the answer's body, after
        // headers that promise all of it.
        httplib::Response served;
        serve(request, request.path, served);
        auto half = std::make_shared<std::string>(served.body.substr(0, served.body.size() / 2));
        response.status = served.status;
        response.set_header("Connection", "close");
        response.set_content_provider(
            served.body.size(), kJsonType, [half](size_t offset, size_t, httplib::DataSink &sink) {
                if (offset >= half->size())
                    return false;
                return sink.write(half->data() + offset, half->size() - offset);
            });
        return true;
    }
    case Fault::Kind::DropReply: {
        // Served as usual (a payment is stored), then the answer is lost like a drop.
        httplib::Response served;
        serve(request, request.path, served);
        [[fallthrough]];
    }
    case Fault::Kind::Drop:
        // Headers promise a body that never comes: the connection closes after them.
        response.status = 200;
        response.set_header("Connection", "close");
        response.set_content_provider(
            256, kJsonType, [](size_t, size_t, httplib::DataSink &) { return false; });
        return true;
    }
    return false;
}

void SandboxServer::control(const httplib::Request &request, httplib::Response &response)
{
    const std::string &path = request.path;
    if (path == "/sandbox/health") {
        response.status = 200;
        response.set_content("ok", "text/plain; charset=utf-8");
        return;
    }
    if (path == "/sandbox/faults") {
        if (request.remote_addr != kHost) {
            answerJson(response, 403, JsonWriter::refusal("403", "faults are local only"));
            return;
        }
        if (request.method == "GET") {
            JsonWriter writer;
            writer.beginObject()
                .field("code", GatewayService::kOk)
                .field("pending", std::to_string(m_faults.pending()))
                .endObject();
            answerJson(response, 200, writer.text());
            return;
        }
        if (request.method != "POST") {
            answerJson(response, 405, JsonWriter::refusal("405", "use GET or POST"));
            return;
        }
        Fault fault;
        bool isClear = false;
        std::string error;
        if (!FaultPlan::parse(request.body, fault, isClear, error)) {
            answerJson(response, 200, JsonWriter::refusal(GatewayService::kBadRequest, error));
            return;
        }
        if (isClear) {
            m_faults.clear();
        } else {
            m_faults.add(fault);
        }
        JsonWriter writer;
        writer.beginObject()
            .field("code", GatewayService::kOk)
            .field("msg", isClear ? "faults cleared" : FaultPlan::kindName(fault.kind) + " queued")
            .field("pending", std::to_string(m_faults.pending()))
            .endObject();
        answerJson(response, 200, writer.text());
        return;
    }
    if (path.rfind(kRedirectPrefix, 0) == 0) {
        const std::string rest = path.substr(std::strlen(kRedirectPrefix));
        const size_t slash = rest.find('/');
        const std::string hopsText = rest.substr(0, slash);
        const auto hops = hopsText == "0"
            ? std::optional<long long>(0)
            : FieldRules::positiveInteger(hopsText, FaultPlan::kMaxRedirects);
        const std::string target = slash == std::string::npos ? "" : rest.substr(slash);
        if (!hops || target.empty() || target.rfind("/sandbox/", 0) == 0) {
            answerJson(response, 404, JsonWriter::refusal("404", "bad redirect path"));
            return;
        }
        if (*hops > 0) {
            response.set_redirect(kRedirectPrefix + std::to_string(*hops - 1) + target, 307);
            return;
        }
        serve(request, target, response);
        return;
    }
    answerJson(response, 404, JsonWriter::refusal("404", "unknown sandbox path: " + path));
}

std::string SandboxServer::baseUrlFor(const httplib::Request &request) const
{
    const std::string port = std::to_string(m_port);
    const std::string host = request.get_header_value("Host");
    for (const char *name : {"localhost", kHost}) {
        if (host == std::string(name) + ":" + port)
            return "https://" + host;
    }
    return m_service.baseUrl();
}

void SandboxServer::download(const httplib::Request &request, httplib::Response &response)
{
    const std::string &file = m_options.offerFile;
    if (file.empty() || request.path != "/download/" + m_service.offerFileName()) {
        answerJson(response, 404, JsonWriter::refusal("404", "no such download: " + request.path));
        return;
    }
    if (request.method != "GET") {
        answerJson(response, 405, JsonWriter::refusal("405", "use GET"));
        return;
    }
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        answerJson(response, 500, JsonWriter::refusal("500", "cannot read " + file));
        return;
    }
    response.status = 200;
    response.set_content(std::move(bytes), "application/octet-stream");
}

void SandboxServer::serve(
    const httplib::Request &request, const std::string &path, httplib::Response &response)
{
    const std::string &method = request.method;
    const std::string &body = request.body;
    if (path == "/api/update" && method == "POST") {
        // The offer names the host the check was sent to (127.0.0.1 or localhost), as a
        // server behind a name does.
        answerJson(response, 200, m_service.update(body, baseUrlFor(request)));
        return;
    }
    using Entry = std::string (GatewayService::*)(const std::string &);
    Entry entry = nullptr;
    if (path == "/api/login") {
        entry = &GatewayService::login;
    } else if (path == "/api/face") {
        entry = &GatewayService::face;
    } else if (path == "/api/update") {
        entry = &GatewayService::update;
    } else if (path == "/papi/api/createApp.html") {
        entry = &GatewayService::createApp;
    }
    if (!entry) {
        answerJson(response, 404, JsonWriter::refusal("404", "未知路径 (unknown path): " + path));
        return;
    }
    if (method != "POST") {
        answerJson(response, 405, JsonWriter::refusal("405", "请使用 POST (use POST)"));
        return;
    }
    answerJson(response, 200, (m_service.*entry)(body));
}
