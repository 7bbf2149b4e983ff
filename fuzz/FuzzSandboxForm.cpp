// Form bodies of the sandbox's single-window trade path (/papi/api/createApp.html):
// loginName=…&orderMoney=…&authCode=…&payType=… with percent-encoded values.
#include "FuzzSupport.h"
#include "SandboxFixture.h"

#include "Reply.h"

#include <cstddef>
#include <cstdint>
#include <string>

using FuzzSupport::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);
    SandboxFixture &sandbox = SandboxFixture::instance();

    const std::string answer = sandbox.service().createApp(body);
    requireReadableAnswer(answer, "success");
    const std::optional<Reply> reply = Reply::parse(answer);
    const auto &tree = reply->tree();
    const std::string success = tree.get<std::string>("success");
    require(success == "true" || success == "false", "success is true or false", answer);
    require(tree.get_child_optional("data").has_value(), "every answer has its data", answer);
    if (success == "true") {
        require(tree.get<std::string>("data.orderNo").size() == 21,
            "an accepted payment has a 21-digit order number", answer);
        require(tree.get<std::string>("data.orderMoney").find('.') != std::string::npos,
            "the order's money has two decimals", answer);
    } else {
        require(!tree.get<std::string>("message").empty(), "a refusal says why", answer);
    }

    sandbox.forgetOrders();
    return 0;
}
