// The one large reply: a "mch_orderList" answer of 20000 orders, from its bytes to the first
// page of the order window, next to a bare Boost property_tree read_json of the same bytes.
//   bareReadJson            the reference: read_json into a tree, nothing else
//   fieldByFieldDecode      the reply reader, six look-ups by path per order
//   decode                  the order list decoder alone: one pass, no tree
//   decodeFilterFirstPage   what the order window does: decode, filter, texts of page 1
#include "OrderFilter.h"
#include "OrderListReply.h"
#include "OrderPages.h"
#include "OrderQueryTexts.h"
#include "Reply.h"

#include <boost/property_tree/json_parser.hpp>

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

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

void setCounters(benchmark::State &state, const std::string &body)
{
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void bareReadJson(benchmark::State &state)
{
    const std::string body = orderListReply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        boost::property_tree::ptree tree;
        std::istringstream stream(body);
        boost::property_tree::read_json(stream, tree);
        benchmark::DoNotOptimize(tree.size());
    }
    setCounters(state, body);
}

struct WideOrder
{
    std::wstring number;
    std::wstring total;
    std::wstring service;
    std::wstring timeEnd;
    std::wstring status;
    std::wstring payStatus;
};

void fieldByFieldDecode(benchmark::State &state)
{
    const std::string body = orderListReply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::vector<WideOrder> orders;
        orders.reserve(static_cast<std::size_t>(state.range(0)));
        std::optional<Reply> reply = Reply::parse(body);
        ReplyReader reader = reply->reader();
        std::string code;
        reader.read("code", code);
        reader.forEach("data.order_data", [&orders](ReplyReader &entry) {
            WideOrder order;
            entry.read("out_trade_no", order.number) && entry.read("total_fee", order.total)
                && entry.read("service", order.service) && entry.read("time_end", order.timeEnd)
                && entry.read("status", order.status) && entry.read("pay_status", order.payStatus);
            orders.push_back(std::move(order));
        });
        if (orders.size() != static_cast<std::size_t>(state.range(0)))
            state.SkipWithError("orders lost in decoding");
        benchmark::DoNotOptimize(orders.data());
    }
    setCounters(state, body);
}

void decode(benchmark::State &state)
{
    const std::string body = orderListReply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const std::optional<OrderListReply> reply = OrderListReply::decode(body);
        if (!reply || reply->records.size() != static_cast<std::size_t>(state.range(0)))
            state.SkipWithError("orders lost in decoding");
        benchmark::DoNotOptimize(reply->records.data());
    }
    setCounters(state, body);
}

void decodeFilterFirstPage(benchmark::State &state)
{
    const std::string body = orderListReply(static_cast<int>(state.range(0)));
    const int statusIndex = static_cast<int>(state.range(1));
    for (auto _ : state) {
        std::optional<OrderListReply> reply = OrderListReply::decode(body);
        if (!reply) {
            state.SkipWithError("reply not decoded");
            break;
        }
        OrderFilter(0, statusIndex).apply(reply->records);
        OrderPages pages;
        pages.setRecords(std::move(reply->records));
        for (int row = 0; row < OrderPages::kRowsPerPage; ++row) {
            if (const OrderRecord *record = pages.recordAt(row))
                benchmark::DoNotOptimize(OrderQueryTexts::rowTexts(1, *record, false));
        }
        benchmark::DoNotOptimize(OrderQueryTexts::pageLabel(
            1, pages.recordCount(), pages.pageCount(), pages.currentPage()));
    }
    setCounters(state, body);
}

} // namespace

BENCHMARK(bareReadJson)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(fieldByFieldDecode)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(decode)->Arg(20000)->Unit(benchmark::kMillisecond);
// Status index 0 keeps every order, 1 the paid ones (nine in ten here).
BENCHMARK(decodeFilterFirstPage)->Args({20000, 0})->Args({20000, 1})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
