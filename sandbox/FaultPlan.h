#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

// One kind of misbehaviour the sandbox can show for the next requests.
struct Fault
{
    enum class Kind {
        Delay,
        Status,
        InvalidJson,
        Redirect,
        Drop,
        Body,
        DropReply,
        PaidLate,
        CutReply
    };

    Fault(Kind kind = Kind::Delay, int value = 0, int count = 1, std::string body = {})
        : kind(kind)
        , value(value)
        , count(count)
        , body(std::move(body))
    { }

    Kind kind;
    int value; // delay in ms, HTTP status, redirect chain length, or queries before paid
    int count; // number of requests it still applies to
    std::string body; // the canned answer of a Body fault, or the target of a Redirect fault
};

// A thread-safe queue of faults. Each gateway request takes the fault at the front, which
// stays until it has been applied `count` times.
class FaultPlan
{
public:
    static constexpr int kMaxDelayMs = 600000;
    static constexpr int kMaxRedirects = 50;
    static constexpr int kMaxLateQueries = 1000;
    // The status queries a late-paid order stays pending for, unless the request says.
    static constexpr int kDefaultLateQueries = 15;
    static constexpr int kMaxCount = 1000000;
    static constexpr int kMaxRepeat = 64 * 1024 * 1024;
    static constexpr std::size_t kMaxBodyBytes = 128 * 1024 * 1024;

    void add(const Fault &fault);
    void clear();
    // The fault for the next request, if any; counts it as applied.
    std::optional<Fault> take();
    // Requests still to be faulted, summed over all queued faults.
    int pending() const;

    // Reads a request of the control path: {"kind":"delay","ms":2000,"count":1},
    // {"kind":"status","status":500}, {"kind":"invalid_json"}, {"kind":"redirect","hops":6}
    // ("length" is accepted for "hops") or {"kind":"redirect","location":"<url>"} (one hop to
    // exactly that address), {"kind":"drop"}, {"kind":"body","body":"<reply>"} (HTTP 200 with
    // exactly that body instead of the real answer), {"kind":"drop_reply"} (served, then the
    // answer dropped), {"kind":"cut_reply"} (served, then the connection closes halfway through
    // the answer's body), {"kind":"paid_late","queries":15} (the order of a payment stays pending
    // for that many status queries and is paid at the next), {"kind":"clear"}.
    // A body can be built for hostile answers: "prefix" + "body" repeated "repeat" times +
    // "suffix" (at most kMaxBodyBytes in all), and "body_base64" gives bytes that are not text.
    // Returns false with `error` set when the request is not understood; `isClear` tells a
    // clear request from a fault.
    static bool parse(const std::string &json, Fault &fault, bool &isClear, std::string &error);
    static std::string kindName(Fault::Kind kind);

private:
    mutable std::mutex m_mutex;
    std::deque<Fault> m_faults;
};
