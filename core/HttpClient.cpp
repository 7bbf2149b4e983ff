#include "HttpClient.h"

#include "HostSettings.h"

#include <curl/curl.h>

#include <mutex>

namespace {

// libcurl's global state is set up once for the process and kept until it ends.
void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

std::size_t appendTo(char *data, std::size_t size, std::size_t count, void *target)
{
    static_cast<std::string *>(target)->append(data, size * count);
    return size * count;
}

int cancelled(void *flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic<bool> *>(flag)->load() ? 1 : 0;
}

// The system's CA directory, trusted besides an extra bundle file.
constexpr const char *kSystemCaPath = "/etc/ssl/certs";

} // namespace

HttpClient::HttpClient()
    : HttpClient(HostSettings::load().caBundle)
{ }

HttpClient::HttpClient(std::string caBundle)
    : m_caBundle(std::move(caBundle))
{
    initialiseCurlOnce();
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
    m_header.clear();
    m_body.clear();

    CURL *handle = curl_easy_init();
    if (!handle)
        return -1;

    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!m_caBundle.empty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, m_caBundle.c_str());
    curl_easy_setopt(handle, CURLOPT_CAPATH, kSystemCaPath);

    curl_slist *headers = curl_slist_append(nullptr, "Content-Type:application/json");
    if (kind == "json")
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);

    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
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
