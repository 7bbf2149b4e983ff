// Request bodies of the sandbox's JSON paths, each body given to every one of them: the signed
// envelope of /api/face, /api/login, /api/update and the fault requests of /sandbox/faults.
// Seeds carry valid signs for the fixture's merchant, so they get past the checks.
#include "FuzzSupport.h"
#include "SandboxFixture.h"

#include "FaultPlan.h"

#include <cstddef>
#include <cstdint>
#include <string>

using FuzzSupport::require;

namespace {

void checkFaultRequest(const std::string &body)
{
    Fault fault;
    bool isClear = false;
    std::string error;
    if (!FaultPlan::parse(body, fault, isClear, error)) {
        require(!error.empty(), "a refused fault request says why");
        return;
    }
    if (isClear)
        return;
    require(fault.count >= 1 && fault.count <= FaultPlan::kMaxCount, "a fault's count is bounded",
        std::to_string(fault.count));
    switch (fault.kind) {
    case Fault::Kind::Delay:
        require(fault.value >= 0 && fault.value <= FaultPlan::kMaxDelayMs, "a delay is bounded",
            std::to_string(fault.value));
        break;
    case Fault::Kind::Status:
        require(fault.value >= 100 && fault.value <= 599, "a status is an HTTP status",
            std::to_string(fault.value));
        break;
    case Fault::Kind::Redirect:
        require(fault.value >= 1 && fault.value <= FaultPlan::kMaxRedirects,
            "a redirect chain is bounded", std::to_string(fault.value));
        break;
    case Fault::Kind::PaidLate:
        require(fault.value >= 0 && fault.value <= FaultPlan::kMaxLateQueries,
            "a late payment is bounded", std::to_string(fault.value));
        break;
    case Fault::Kind::InvalidJson:
    case Fault::Kind::Drop:
    case Fault::Kind::DropReply:
    case Fault::Kind::Body:
        break;
    }
    FaultPlan plan;
    plan.add(fault);
    require(plan.pending() == fault.count, "a queued fault is pending for its count");
    require(plan.take().has_value(), "a queued fault is taken");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);
    SandboxFixture &sandbox = SandboxFixture::instance();

    requireReadableAnswer(sandbox.service().face(body), "code");
    requireReadableAnswer(sandbox.service().login(body), "code");
    requireReadableAnswer(sandbox.service().update(body), "status");
    checkFaultRequest(body);

    sandbox.forgetOrders();
    return 0;
}
