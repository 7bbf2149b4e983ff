#pragma once

#include <atomic>
#include <cstddef>
#include <string>

// One blocking HTTPS POST (or GET) through libcurl per call. Only https URLs are posted, and
// redirects are followed to https only. TLS peer and host names are verified against the system's
// CAs plus an optional extra bundle (when it can be read; a bundle that lies in the sandbox's own
// directory, beside its CA key, only for loopback hosts, and a request that trusts it is
// refused a redirect to any other host before a byte goes there); every request has a connect
// time-out and a total time-out, so no caller can wait for ever, and a reply larger than
// kMaxReplyBytes fails the transfer.
// One object must not serve two requests at the same time.
class HttpClient final
{
public:
    static constexpr const char *kUserAgent
        = "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:13.0) Gecko/20100101 Firefox/13.0.1";
    static constexpr long kConnectTimeoutMs = 10000;
    static constexpr long kTotalTimeoutMs = 30000;
    static constexpr std::size_t kMaxReplyBytes = 64 * 1024 * 1024;
    // A shorter total time-out for every client of this process, in ms (kMinTotalTimeoutMs up
    // to below kTotalTimeoutMs; anything else is ignored), for tests that wait out time-outs.
    static constexpr const char *kTotalTimeoutVariable = "TALLYPORT_HTTP_TOTAL_TIMEOUT_MS";
    static constexpr long kMinTotalTimeoutMs = 100;

    // Trusts the ca_bundle of the configuration file besides the system's CAs.
    HttpClient();
    explicit HttpClient(std::string caBundle);

    // Posts `body` to `url`. Returns the HTTP status, or -1 when the transfer failed
    // (not https, no connection, TLS refused, time-out, too many redirects, a redirect to
    // another scheme, or off this machine while trusting the sandbox's CA, dropped connection,
    // reply too large).
    // `reply` is assigned the body only for status 200; otherwise it keeps its value, and one
    // run-log line "请求失败: URL: reason" says why.
    // Only `kind` exactly "json" adds the header "Content-Type:application/json".
    int Post(std::string url, std::string body, std::string &reply, std::string kind);
    // Fetches `url` as Post does, but follows no redirect: a file is taken from where it was
    // offered, or not at all (a redirect is a failure with its 3xx status).
    int Get(std::string url, std::string &reply);

    void setTimeouts(long connectMs, long totalMs);
    // A request under way ends as failed soon after `*flag` becomes true (a poll that is
    // stopped at logout does not wait for its answer). Null: no such flag.
    void setCancelFlag(const std::atomic<bool> *flag);

    // Response header lines of the last request, as received.
    const std::string &headers() const { return m_header; }

private:
    static long totalTimeoutMs();
    // One request: a POST of *body, or a GET when it is null.
    int perform(const std::string &url, const std::string *body, bool json, std::string &reply);

    std::string m_caBundle;
    std::string m_header;
    std::string m_body;
    long m_connectMs = kConnectTimeoutMs;
    long m_totalMs;
    const std::atomic<bool> *m_cancel = nullptr;
};
