// libFuzzer target: the sandbox's fault requests (POST /sandbox/faults), one per line. Each is
// understood with bounded values or refused with a reason; the accepted ones queue in order,
// each applied exactly `count` times, and a clear empties the queue.
#include "FuzzSupport.h"

#include "FaultPlan.h"

#include <cstdint>
#include <string>
#include <vector>

using FuzzSupport::require;

namespace {

constexpr std::size_t kMaxLines = 8;
constexpr int kMaxDrained = 20000; // takes counted one by one; more would only slow the run

void checkBounds(const Fault &fault)
{
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
    case Fault::Kind::Body:
        require(fault.body.size() <= FaultPlan::kMaxBodyBytes, "a canned body is bounded",
            std::to_string(fault.body.size()));
        break;
    case Fault::Kind::InvalidJson:
    case Fault::Kind::Drop:
    case Fault::Kind::DropReply:
    case Fault::Kind::CutReply:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    FaultPlan plan;
    std::vector<Fault> queued;
    std::size_t start = 0;
    for (std::size_t line = 0; line < kMaxLines && start <= bytes.size(); ++line) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
        Fault fault;
        bool isClear = false;
        std::string error;
        if (!FaultPlan::parse(bytes.substr(start, end - start), fault, isClear, error)) {
            require(!error.empty(), "a refused fault request says why");
        } else if (isClear) {
            plan.clear();
            queued.clear();
            require(plan.pending() == 0, "a clear leaves nothing pending");
        } else {
            checkBounds(fault);
            plan.add(fault);
            queued.push_back(fault);
        }
        start = end + 1;
    }

    long long pending = 0;
    for (const Fault &fault : queued)
        pending += fault.count;
    require(plan.pending() == pending, "every queued fault is pending for its count");
    if (pending > kMaxDrained)
        return 0;
    for (const Fault &fault : queued) {
        for (int i = 0; i < fault.count; ++i) {
            const std::optional<Fault> taken = plan.take();
            require(taken && taken->kind == fault.kind && taken->value == fault.value,
                "faults are applied in the order queued");
        }
    }
    require(!plan.take() && plan.pending() == 0, "nothing is left once every count is used");
    return 0;
}
