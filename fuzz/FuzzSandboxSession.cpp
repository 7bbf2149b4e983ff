// A cashier's session against the sandbox's /api/face: payments, status queries, refunds, order
// lists and day totals, each request signed with the merchant's key as the client signs it, so
// that the fuzzer's values reach the methods' own rules and the store.
//
// Input: one request per line, "METHOD name=value&name=value…" with names and values
// percent-encoded as in a form. A line starting with "!" goes out with a wrong sign; the value
// "$" stands for the order number of the last accepted payment. At most 16 lines are sent.
#include "FuzzSupport.h"
#include "SandboxFixture.h"

#include "Envelope.h"
#include "Reply.h"
#include "Signing.h"

#include <cstddef>
#include <cstdint>
#include <string>

using FuzzSupport::require;

namespace {

constexpr int kMaxRequests = 16;

struct Request
{
    bool wrongSign = false;
    std::string method;
    Fields fields;
};

Request readRequest(std::string line, const std::string &lastOrder)
{
    Request request;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (!line.empty() && line[0] == '!') {
        request.wrongSign = true;
        line.erase(0, 1);
    }
    const std::size_t blank = line.find(' ');
    request.method = line.substr(0, blank);
    if (blank == std::string::npos)
        return request;
    const std::string form = line.substr(blank + 1);
    std::size_t start = 0;
    while (start <= form.size()) {
        std::size_t end = form.find('&', start);
        if (end == std::string::npos)
            end = form.size();
        const std::string pair = form.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        const std::string name = Envelope::formDecode(pair.substr(0, equals));
        std::string value = equals == std::string::npos
            ? std::string()
            : Envelope::formDecode(pair.substr(equals + 1));
        if (value == "$")
            value = lastOrder;
        request.fields.emplace_back(name, value);
        start = end + 1;
    }
    return request;
}

bool isOrderNumber(const std::string &text)
{
    if (text.size() != 21)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    SandboxFixture &sandbox = SandboxFixture::instance();

    std::string lastOrder;
    std::size_t start = 0;
    for (int sent = 0; sent < kMaxRequests && start < input.size(); ++sent) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        const Request request = readRequest(input.substr(start, end - start), lastOrder);
        start = end + 1;

        std::string sign = Signing::sign(request.fields, SandboxFixture::kKey);
        if (request.wrongSign)
            sign[0] = sign[0] == '0' ? '1' : '0';
        const std::string answer = sandbox.service().face(
            Envelope::build(SandboxFixture::kAppid, request.method, sign, request.fields));

        requireReadableAnswer(answer, "code");
        const boost::property_tree::ptree tree = Reply::parse(answer)->tree();
        const std::string code = tree.get<std::string>("code");
        if (request.wrongSign)
            require(code != "100", "a request with a wrong sign is never accepted", answer);
        if (code != "100")
            continue;
        if (request.method == "auto_pay") {
            const std::string number = tree.get<std::string>("data.out_trade_no", "");
            const std::string status = tree.get<std::string>("data.status", "");
            require(isOrderNumber(number), "a payment gets a 21-digit order number", answer);
            require(status == "1" || status == "3", "a payment is paid or pending", answer);
            lastOrder = number;
        } else if (request.method == "auto_orderQuery") {
            const std::string status = tree.get<std::string>("data.status", "");
            require(status == "0" || status == "1" || status == "3",
                "an order is paid, pending or failed", answer);
        }
    }

    sandbox.forgetOrders();
    return 0;
}
