// The gateway's answer to /api/login as the client decodes it, and underneath it the reading
// that every reply decoder of the client shares: Reply::parse, ReplyReader::read and forEach.
#include "FuzzSupport.h"

#include "GatewayClock.h"
#include "LoginRequest.h"
#include "LoginSession.h"
#include "Reply.h"
#include "Text.h"

#include <cstddef>
#include <cstdint>
#include <string>

using FuzzSupport::require;

namespace {

constexpr int kMaxWalkDepth = 6;

// The paths the client's decoders read, in the order a login, a pay answer, an order list and
// the upgrade offer read them.
const char *const kPaths[] = {"code", "msg", "data.appid", "data.key", "data.sid", "data.uid",
    "data.api_time", "data.mch_name", "data.store_name", "data.store_tel", "data.status",
    "data.out_trade_no", "data.order_data", "status", "info", "version", "url"};

// The first read that fails stops the reader: that read and every later one return false and
// leave their target as it was. A read that succeeds gives the value at its path.
void readInOrder(const Reply &reply)
{
    ReplyReader reader = reply.reader();
    bool stopped = false;
    for (const char *path : kPaths) {
        const std::string untouched = "\x01untouched";
        std::string utf8 = untouched;
        const bool read = reader.read(path, utf8);
        if (stopped) {
            require(!read && utf8 == untouched, "a stopped reader reads nothing", path);
            continue;
        }
        const auto node = reply.tree().get_child_optional(path);
        if (!node)
            require(!read, "a missing path is not read", path);
        if (read)
            require(node && utf8 == node->data(), "a read gives the value at its path", path);
        else
            require(utf8 == untouched, "a failed read leaves its target", path);
        stopped = !read;
        require(reader.stopped() == stopped, "stopped() tells whether a read failed", path);
    }
}

// Every member and every list entry, read by path and with forEach as the decoders read
// them. `node` is the tree under `reader`.
void walk(ReplyReader &reader, const boost::property_tree::ptree &node, int depth)
{
    if (depth >= kMaxWalkDepth)
        return;
    for (auto member = node.begin(); member != node.end() && !reader.stopped(); ++member) {
        const std::string &name = member->first;
        // List entries have no name; a name with a dot cannot be a path; a repeated name
        // reads as its first occurrence.
        if (name.empty() || name.find('.') != std::string::npos
            || node.to_iterator(node.find(name)) != member)
            continue;
        const boost::property_tree::ptree &child = member->second;
        if (child.empty()) {
            std::wstring wide;
            const bool read = reader.read(name.c_str(), wide);
            // The tree keeps a list as an object whose members have empty names, so an object
            // whose first member has an empty name may be taken for a list.
            if (!node.front().first.empty())
                require(read, "a text member of an object is read", name);
            continue;
        }
        auto entry = child.begin();
        std::size_t visited = 0;
        const bool complete = reader.forEach(name.c_str(), [&](ReplyReader &element) {
            require(entry != child.end(), "forEach visits only the entries there", name);
            walk(element, entry->second, depth + 1);
            ++entry;
            ++visited;
        });
        if (complete)
            require(visited == child.size(), "forEach visits every entry", name);
        else
            require(reader.stopped(), "forEach that ends early stops the reader", name);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);

    LoginSession session;
    session.appid = L"earlier";
    session.code = L"earlier";
    const LoginRequest::LoginOutcome outcome = LoginRequest::decodeReply(body, session);
    const std::optional<Reply> reply = Reply::parse(body);

    if (!reply)
        require(outcome == LoginRequest::LoginOutcome::NoReply,
            "an answer that is not JSON counts as no reply");
    switch (outcome) {
    case LoginRequest::LoginOutcome::NoReply:
        require(session.code == L"earlier" && session.appid == L"earlier",
            "no reply leaves the session as it was");
        break;
    case LoginRequest::LoginOutcome::Refused:
        require(session.code != L"100", "code 100 is never refused");
        require(session.appid == L"earlier", "a refused login keeps the session as it was");
        break;
    case LoginRequest::LoginOutcome::LoggedIn:
        require(session.code == L"100", "only code 100 logs in");
        break;
    }

    // The gateway's time as the ledger reads it: the login's api_time, and the input itself as
    // the texts of every length the reader takes.
    for (const std::string &told : {Text::wideToUtf8(session.apiTime), body.substr(0, 10),
             body.substr(0, 13), body.substr(0, 14), body.substr(0, 19)}) {
        if (const std::optional<long long> wall = GatewayClock::parse(told)) {
            const std::string text = GatewayClock::text(*wall);
            require(GatewayClock::parse(text) == wall, "a wall time reads back as itself", told);
            require(text.size() == 19 && text.compare(0, 2, "20") == 0,
                "a wall time is of the years 2000 to 2099", told);
        }
    }

    if (reply) {
        readInOrder(*reply);
        ReplyReader root = reply->reader();
        walk(root, reply->tree(), 0);
        // The order list as its window reads it: a row without one of its fields ends it.
        ReplyReader list = reply->reader();
        list.forEach("data.order_data", [](ReplyReader &row) {
            std::wstring number, total, service, timeEnd, status, payStatus;
            row.read("out_trade_no", number) && row.read("total_fee", total)
                && row.read("service", service) && row.read("time_end", timeEnd)
                && row.read("status", status) && row.read("pay_status", payStatus);
        });
    }
    return 0;
}
