// Decoding a full order list reply: one "mch_orderList" answer of 20000 orders, read with the
// reply decoder field by field as the order window reads it.
#include "Reply.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

struct Order
{
    std::wstring number;
    std::wstring total;
    std::wstring service;
    std::wstring timeEnd;
    std::wstring status;
    std::wstring payStatus;
};

std::string orderListReply(int orders)
{
    std::string body = R"({"code":"100","msg":"查询成功","data":{"order_data":[)";
    for (int i = 0; i < orders; ++i) {
        if (i > 0)
            body += ',';
        const std::string number = "20261207101500" + std::to_string(1000000 + i);
        body += R"({"out_trade_no":")" + number + R"(","total_fee":")" + std::to_string(100 + i * 7)
            + R"(","service":")" + (i % 3 == 0 ? "ali" : "wx")
            + R"(","time_end":"2026-12-07 10:15:00","status":")" + (i % 10 == 0 ? "3" : "1")
            + R"(","pay_status":"1"})";
    }
    body += "]}}";
    return body;
}

void decodeOrderList(benchmark::State &state)
{
    const std::string body = orderListReply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::vector<Order> orders;
        orders.reserve(static_cast<std::size_t>(state.range(0)));
        std::optional<Reply> reply = Reply::parse(body);
        ReplyReader reader = reply->reader();
        std::string code;
        reader.read("code", code);
        reader.forEach("data.order_data", [&orders](ReplyReader &entry) {
            Order order;
            entry.read("out_trade_no", order.number) && entry.read("total_fee", order.total)
                && entry.read("service", order.service) && entry.read("time_end", order.timeEnd)
                && entry.read("status", order.status) && entry.read("pay_status", order.payStatus);
            orders.push_back(std::move(order));
        });
        if (orders.size() != static_cast<std::size_t>(state.range(0)))
            state.SkipWithError("orders lost in decoding");
        benchmark::DoNotOptimize(orders.data());
    }
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(decodeOrderList)->Arg(20000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
