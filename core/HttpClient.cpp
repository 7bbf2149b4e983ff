#include "HttpClient.h"

#include "HostSettings.h"
#include "RunLog.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <set>
#include <unistd.h>

namespace {

// libcurl's global state (with the TLS library's) is set up by the first request and kept
// until the process ends: a till that only shows its login window never pays for it.
void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
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
    if (::access(path.c_str(), R_OK) == 0)
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
    CURLU *parsed = curl_url();
    if (!parsed)
        return std::string();
    std::string host;
    char *part = nullptr;
    if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK
        && curl_url_get(parsed, CURLUPART_HOST, &part, 0) == CURLUE_OK && part) {
        host = part;
    }
    curl_free(part);
    curl_url_cleanup(parsed);
    for (char &c : host)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return host;
}

bool isLoopback(const std::string &host)
{
    if (host == "localhost" || host == "[::1]")
        return true;
    in_addr address {};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1
        && (ntohl(address.s_addr) >> 24) == 127;
}

// The sandbox keeps its CA's private key beside the CA (ca-key.pem), in the user's own data
// directory: such a CA proves nothing about a host elsewhere, so it is trusted for loopback
// hosts only. A real gateway is verified against the system's CAs alone; that is logged once
// per host.
bool bundleCountsFor(const std::string &bundle, const std::string &url)
{
    const std::size_t slash = bundle.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : bundle.substr(0, slash);
    if (::access((directory + "/ca-key.pem").c_str(), F_OK) != 0)
        return true;
    const std::string host = hostOf(url);
    if (isLoopback(host))
        return true;
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> lock(mutex);
    if (reported.insert(host).second)
        RunLog::write("ca_bundle 是沙箱的 CA, 只信任于本机地址; %s 只信任系统证书: %s",
            host.c_str(), bundle.c_str());
    return false;
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
{ }

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
    m_header.clear();
    m_body.clear();
    initialiseCurlOnce();

    // Credentials and payment codes never travel in clear text.
    if (!isHttps(url)) {
        RunLog::write("请求未发送: 地址不是 https: %s", url.c_str());
        return -1;
    }

    CURL *handle = curl_easy_init();
    if (!handle)
        return -1;

    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (usableBundle(m_caBundle) && bundleCountsFor(m_caBundle, url))
        curl_easy_setopt(handle, CURLOPT_CAINFO, m_caBundle.c_str());
    curl_easy_setopt(handle, CURLOPT_CAPATH, systemCaPath());

    curl_slist *headers = curl_slist_append(nullptr, "Content-Type:application/json");
    if (kind == "json")
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);

    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, m_connectMs);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, m_totalMs);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    if (m_cancel) {
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, cancelled);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, m_cancel);
    }

    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, appendTo);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &m_header);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, appendTo);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &m_body);

    int status = -1;
    if (curl_easy_perform(handle) == CURLE_OK) {
        long code = 0;
        if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code) == CURLE_OK) {
            status = static_cast<int>(code);
            if (status == 200)
                reply = m_body;
        }
    }

    curl_slist_free_all(headers);
    curl_easy_cleanup(handle);
    return status;
}
