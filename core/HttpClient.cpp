#include "HttpClient.h"

#include "HostSettings.h"
#include "RunLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

#include <curl/curl.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace {

// The name the system's loader knows the library by (the build gives it: libcurl.so.4, or
// libcurl-4.dll beside the program on Windows).
constexpr const char *kCurlLibrary = TALLYPORT_CURL_LIBRARY;

// libcurl, and the TLS, Kerberos and LDAP libraries it pulls in, are loaded by the first request
// rather than when the program starts: mapping and initialising them costs every start-up
// milliseconds, and a till that only shows its login window has no use for them. The library's
// global state is set up with it and kept until the process ends. When it cannot be loaded,
// every request fails like a failed transfer.
struct Curl
{
    bool loaded = false;
    decltype(&curl_global_init) globalInit = nullptr;
    decltype(&curl_easy_init) easyInit = nullptr;
    decltype(&curl_easy_setopt) easySetopt = nullptr;
    decltype(&curl_easy_perform) easyPerform = nullptr;
    decltype(&curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&curl_slist_append) slistAppend = nullptr;
    decltype(&curl_slist_free_all) slistFreeAll = nullptr;
    decltype(&curl_url) url = nullptr;
    decltype(&curl_url_set) urlSet = nullptr;
    decltype(&curl_url_get) urlGet = nullptr;
    decltype(&curl_url_cleanup) urlCleanup = nullptr;
    decltype(&curl_free) free = nullptr;
    decltype(&curl_easy_strerror) strerror = nullptr;
};

template<typename Function>
bool bind(QLibrary &library, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

const Curl &curl()
{
    static const Curl instance = [] {
        Curl c;
        // Never unloaded: its global state lives until the process ends.
        static QLibrary library(QString::fromLatin1(kCurlLibrary));
        if (!library.load()) {
            RunLog::write("无法加载 %s: %s", kCurlLibrary, qPrintable(library.errorString()));
            return c;
        }
        c.loaded = bind(library, "curl_global_init", c.globalInit)
            && bind(library, "curl_easy_init", c.easyInit)
            && bind(library, "curl_easy_setopt", c.easySetopt)
            && bind(library, "curl_easy_perform", c.easyPerform)
            && bind(library, "curl_easy_getinfo", c.easyGetinfo)
            && bind(library, "curl_easy_cleanup", c.easyCleanup)
            && bind(library, "curl_slist_append", c.slistAppend)
            && bind(library, "curl_slist_free_all", c.slistFreeAll)
            && bind(library, "curl_url", c.url) && bind(library, "curl_url_set", c.urlSet)
            && bind(library, "curl_url_get", c.urlGet)
            && bind(library, "curl_url_cleanup", c.urlCleanup) && bind(library, "curl_free", c.free)
            && bind(library, "curl_easy_strerror", c.strerror)
            && c.globalInit(CURL_GLOBAL_ALL) == CURLE_OK;
        if (!c.loaded)
            RunLog::write("无法使用 %s", kCurlLibrary);
        return c;
    }();
    return instance;
}

// Appends a received chunk; refusing a chunk (returning less than its size) ends the
// transfer as failed, so a reply can never grow without bound.
std::size_t appendTo(char *data, std::size_t size, std::size_t count, void *target)
{
    std::string &buffer = *static_cast<std::string *>(target);
    const std::size_t length = size * count;
    if (length > HttpClient::kMaxReplyBytes - buffer.size())
        return 0;
    buffer.append(data, length);
    return length;
}

bool isHttps(const std::string &url)
{
    static const std::string scheme = "https://";
    if (url.size() < scheme.size())
        return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i])
            return false;
    }
    return true;
}

// The extra CA bundle is used only when it can be read: libcurl refuses to start a transfer
// with a bundle it cannot open. A missing one is logged once per process.
bool usableBundle(const std::string &path)
{
    if (path.empty())
        return false;
    if (QFileInfo(QString::fromStdString(path)).isReadable())
        return true;
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> lock(mutex);
    if (reported.insert(path).second)
        RunLog::write("ca_bundle 无法读取, 只信任系统证书: %s", path.c_str());
    return false;
}

// The host of a URL, lower case ("[::1]" for an IPv6 address); empty when it has none.
std::string hostOf(const std::string &url)
{
    const Curl &c = curl();
    CURLU *parsed = c.loaded ? c.url() : nullptr;
    if (!parsed)
        return std::string();
    std::string host;
    char *part = nullptr;
    if (c.urlSet(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK
        && c.urlGet(parsed, CURLUPART_HOST, &part, 0) == CURLUE_OK && part) {
        host = part;
    }
    c.free(part);
    c.urlCleanup(parsed);
    for (char &c : host)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return host;
}

bool isLoopback(const std::string &host)
{
    if (host == "localhost" || host == "[::1]")
        return true;
    // A dotted IPv4 address of four decimal parts, 0 to 255 each, the first 127.
    int parts = 0;
    std::size_t at = 0;
    int first = -1;
    while (at < host.size() && parts < 4) {
        std::size_t end = at;
        int value = 0;
        while (end < host.size() && end - at < 3
            && std::isdigit(static_cast<unsigned char>(host[end])))
            value = value * 10 + (host[end++] - '0');
        if (end == at || value > 255)
            return false;
        if (parts == 0)
            first = value;
        ++parts;
        at = end;
        if (parts < 4) {
            if (at >= host.size() || host[at] != '.')
                return false;
            ++at;
        }
    }
    return parts == 4 && at == host.size() && first == 127;
}

// Where the extra CA bundle is trusted for a request.
enum class ExtraTrust {
    None, // not at all: the system's CAs alone
    Everywhere, // an ordinary bundle
    LoopbackOnly // the sandbox's CA, for a loopback host: every redirect must stay on this machine
};

// The sandbox keeps its CA's private key beside the CA (ca-key.pem), in the user's own data
// directory: such a CA proves nothing about a host elsewhere, so it is trusted for loopback
// hosts only. A real gateway is verified against the system's CAs alone; that is logged once
// per host.
ExtraTrust extraTrust(const std::string &bundle, const std::string &url)
{
    if (!usableBundle(bundle))
        return ExtraTrust::None;
    // Beside the bundle, whatever separators its path is written with.
    const QFileInfo key(
        QFileInfo(QString::fromStdString(bundle)).absoluteDir(), QStringLiteral("ca-key.pem"));
    if (!key.exists())
        return ExtraTrust::Everywhere;
    const std::string host = hostOf(url);
    if (isLoopback(host))
        return ExtraTrust::LoopbackOnly;
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> lock(mutex);
    if (reported.insert(host).second)
        RunLog::write("ca_bundle 是沙箱的 CA, 只信任于本机地址; %s 只信任系统证书: %s",
            host.c_str(), bundle.c_str());
    return ExtraTrust::None;
}

// `reference` (a Location header's value) resolved against `base`; empty when it cannot be.
std::string resolved(const char *base, const std::string &reference)
{
    const Curl &c = curl();
    CURLU *parsed = c.url();
    if (!parsed)
        return std::string();
    std::string url;
    char *part = nullptr;
    if ((!base || c.urlSet(parsed, CURLUPART_URL, base, 0) == CURLUE_OK)
        && c.urlSet(parsed, CURLUPART_URL, reference.c_str(), 0) == CURLUE_OK
        && c.urlGet(parsed, CURLUPART_URL, &part, 0) == CURLUE_OK && part) {
        url = part;
    }
    c.free(part);
    c.urlCleanup(parsed);
    return url;
}

bool startsWithNoCase(const std::string &text, const char *prefix)
{
    for (std::size_t i = 0; prefix[i] != '\0'; ++i) {
        if (i >= text.size()
            || std::tolower(static_cast<unsigned char>(text[i]))
                != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

// The response headers of a request, and the redirect check of one that trusts the sandbox's
// CA: libcurl follows a redirect only once the answer that asks for it has ended, so a
// Location that leads off this machine is refused while its header arrives, before any byte
// goes to that host.
struct HeaderSink
{
    std::string *buffer = nullptr;
    CURL *handle = nullptr; // set when redirects must stay on loopback hosts
    long status = 0; // of the answer whose headers arrive
    std::string refused; // the redirect that was refused
};

std::size_t takeHeader(char *data, std::size_t size, std::size_t count, void *target)
{
    HeaderSink &sink = *static_cast<HeaderSink *>(target);
    const std::size_t length = appendTo(data, size, count, sink.buffer);
    if (length == 0 || !sink.handle)
        return length;
    std::string line(data, length);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    if (startsWithNoCase(line, "HTTP/")) {
        const std::size_t blank = line.find(' ');
        sink.status = blank == std::string::npos ? 0 : std::atol(line.c_str() + blank + 1);
        return length;
    }
    if (sink.status < 300 || sink.status > 399 || !startsWithNoCase(line, "location:"))
        return length;
    std::size_t start = std::strlen("location:");
    while (start < line.size() && std::isspace(static_cast<unsigned char>(line[start])))
        ++start;
    char *current = nullptr;
    curl().easyGetinfo(sink.handle, CURLINFO_EFFECTIVE_URL, &current);
    const std::string next = resolved(current, line.substr(start));
    if (isLoopback(hostOf(next)))
        return length;
    sink.refused = next.empty() ? line.substr(start) : next;
    return 0; // ends the transfer as failed
}

int cancelled(void *flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic<bool> *>(flag)->load() ? 1 : 0;
}

// The system's CA directory, trusted besides an extra bundle file; OpenSSL's SSL_CERT_DIR
// names another one, as for every other program.
const char *systemCaPath()
{
    const char *dir = std::getenv("SSL_CERT_DIR");
    return dir && *dir ? dir : "/etc/ssl/certs";
}

} // namespace

HttpClient::HttpClient()
    : HttpClient(HostSettings::load().caBundle)
{ }

HttpClient::HttpClient(std::string caBundle)
    : m_caBundle(std::move(caBundle))
    , m_totalMs(totalTimeoutMs())
{ }

long HttpClient::totalTimeoutMs()
{
    // Only ever shortened: a test that exercises time-outs need not wait the full 30 s.
    const char *text = std::getenv(kTotalTimeoutVariable);
    if (!text || !*text)
        return kTotalTimeoutMs;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < kMinTotalTimeoutMs || value >= kTotalTimeoutMs)
        return kTotalTimeoutMs;
    return value;
}

void HttpClient::setCancelFlag(const std::atomic<bool> *flag)
{
    m_cancel = flag;
}

void HttpClient::setTimeouts(long connectMs, long totalMs)
{
    m_connectMs = connectMs;
    m_totalMs = totalMs;
}

int HttpClient::Post(std::string url, std::string body, std::string &reply, std::string kind)
{
    return perform(url, &body, kind == "json", reply);
}

int HttpClient::Get(std::string url, std::string &reply)
{
    return perform(url, nullptr, false, reply);
}

int HttpClient::perform(
    const std::string &url, const std::string *body, bool json, std::string &reply)
{
    m_header.clear();
    m_body.clear();

    // Credentials and payment codes never travel in clear text.
    if (!isHttps(url)) {
        RunLog::write("请求未发送: 地址不是 https: %s", url.c_str());
        return -1;
    }

    const Curl &c = curl();
    if (!c.loaded)
        return -1;
    CURL *handle = c.easyInit();
    if (!handle)
        return -1;

    c.easySetopt(handle, CURLOPT_URL, url.c_str());
    c.easySetopt(handle, CURLOPT_USERAGENT, kUserAgent);
    c.easySetopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    c.easySetopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    ExtraTrust trust = extraTrust(m_caBundle, url);
    // The bundle is read here and handed over as bytes: its path may hold any character
    // (C:\Users\张三\…), and libcurl would open a file through the ANSI code page on Windows.
    QByteArray bundle;
    curl_blob bundleBlob {};
    if (trust != ExtraTrust::None) {
        QFile file(QString::fromStdString(m_caBundle));
        if (file.open(QIODevice::ReadOnly))
            bundle = file.readAll();
        if (bundle.isEmpty())
            trust = ExtraTrust::None;
        bundleBlob = {bundle.data(), std::size_t(bundle.size()), CURL_BLOB_COPY};
    }
    if (trust != ExtraTrust::None)
        c.easySetopt(handle, CURLOPT_CAINFO_BLOB, &bundleBlob);
    c.easySetopt(handle, CURLOPT_CAPATH, systemCaPath());
    // Windows (Schannel) checks revocation: a counter that cannot reach the CA's revocation
    // servers, or a certificate that names none, is not refused for that alone; a certificate
    // found revoked still is. Other TLS libraries do not read this option.
    c.easySetopt(handle, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));

    curl_slist *headers = c.slistAppend(nullptr, "Content-Type:application/json");
    if (json)
        c.easySetopt(handle, CURLOPT_HTTPHEADER, headers);

    if (body) {
        c.easySetopt(handle, CURLOPT_POSTFIELDS, body->c_str());
        c.easySetopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(body->size()));
        c.easySetopt(handle, CURLOPT_MAXREDIRS, 5L);
        c.easySetopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    }
    c.easySetopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    c.easySetopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    c.easySetopt(handle, CURLOPT_CONNECTTIMEOUT_MS, m_connectMs);
    c.easySetopt(handle, CURLOPT_TIMEOUT_MS, m_totalMs);
    c.easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
    if (m_cancel) {
        c.easySetopt(handle, CURLOPT_NOPROGRESS, 0L);
        c.easySetopt(handle, CURLOPT_XFERINFOFUNCTION, cancelled);
        c.easySetopt(handle, CURLOPT_XFERINFODATA, m_cancel);
    }

    HeaderSink headerSink;
    headerSink.buffer = &m_header;
    if (trust == ExtraTrust::LoopbackOnly)
        headerSink.handle = handle;
    c.easySetopt(handle, CURLOPT_HEADERFUNCTION, takeHeader);
    c.easySetopt(handle, CURLOPT_HEADERDATA, &headerSink);
    c.easySetopt(handle, CURLOPT_WRITEFUNCTION, appendTo);
    c.easySetopt(handle, CURLOPT_WRITEDATA, &m_body);

    // Every request that brings no answer leaves one line saying why: for the support engineer,
    // the window itself only knows that it failed.
    int status = -1;
    const CURLcode result = c.easyPerform(handle);
    if (result == CURLE_OK) {
        long code = 0;
        if (c.easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &code) == CURLE_OK) {
            status = static_cast<int>(code);
            if (status == 200)
                reply = m_body;
            else
                RunLog::write("请求失败: %s: HTTP %d", url.c_str(), status);
        }
    } else if (!headerSink.refused.empty()) {
        RunLog::write("请求失败: %s: 重定向到 %s 被拒绝: 沙箱的 CA 只信任于本机地址", url.c_str(),
            headerSink.refused.c_str());
    } else {
        RunLog::write("请求失败: %s: %s", url.c_str(), c.strerror(result));
    }

    c.slistFreeAll(headers);
    c.easyCleanup(handle);
    return status;
}
