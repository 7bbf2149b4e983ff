#include "GatewayService.h"

#include "Amount.h"
#include "Envelope.h"
#include "FieldRules.h"
#include "JsonWriter.h"
#include "LoginRequest.h"
#include "PayRules.h"
#include "Reply.h"
#include "TimeText.h"

#include <boost/property_tree/ptree.hpp>

namespace {

using boost::property_tree::ptree;

const char *const kMalformed = "请求不是有效的 JSON 对象 (the request is not a valid JSON object)";
const char *const kBadTotal
    = "total 必须是以分为单位的整数 (total must be an integer of minor units)";
const char *const kWrongStore
    = "store_id 不是本商户的门店 (store_id is not a store of this merchant)";
const char *const kBadNonce = "nonce_str 无效 (nonce_str must be 1 to 64 printable characters)";
const char *const kUnknownOrderText = "订单不存在 (unknown order)";
const char *const kInvalidCodeText
    = "付款码无效，请顾客出示微信或支付宝付款码 (invalid payment code)";
const char *const kRefusedText
    = "付款码已被钱包拒绝，请顾客更换付款码 (the wallet refused this payment code)";

// The members of a JSON object whose values are all strings. Empty `badName` and false
// means the body is not an object at all.
bool flatObject(const ptree &tree, Fields &fields, std::string &badName)
{
    if (!tree.data().empty()) {
        return false;
    }
    for (const auto &member : tree) {
        if (member.first.empty() || !member.second.empty()) {
            badName = member.first.empty() ? std::string("[]") : member.first;
            return false;
        }
        fields.emplace_back(member.first, member.second.data());
    }
    return true;
}

std::string notStrings(const std::string &badName)
{
    if (badName.empty()) {
        return kMalformed;
    }
    return "字段 " + badName + " 必须是字符串 (field " + badName + " must be a string)";
}

std::string success(const std::string &msg, const Fields &data)
{
    JsonWriter writer;
    writer.beginObject().field("code", GatewayService::kOk).field("msg", msg);
    writer.beginObject("data").fields(data).endObject();
    writer.endObject();
    return writer.text();
}

std::string refusal(const char *code, const std::string &msg)
{
    return JsonWriter::refusal(code, msg);
}

std::string text(long long value)
{
    return std::to_string(value);
}

std::string twoDecimals(long long minor)
{
    return Amount::toTwoDecimals(Amount::formatMinorUnits(minor)).value_or("0.00");
}

// The single-window reply.
struct TradeAnswer
{
    bool success = false;
    std::string message;
    std::string orderNo;
    std::string payTime;
    std::string payStatus = "支付失败";
    std::string orderStatus;
    std::string clerkName;
    std::string orderMoney;
    std::string payMoney = "0.00";
    std::string payType;
    std::string merName;

    std::string json() const
    {
        JsonWriter writer;
        writer.beginObject()
            .field("success", success ? "true" : "false")
            .field("message", message)
            .beginObject("data")
            .field("orderNo", orderNo)
            .field("payTimeString", payTime)
            .field("payStatus", payStatus)
            .field("orderStatus", orderStatus)
            .field("errMsg", success ? std::string() : message)
            .field("clerkname", clerkName)
            .field("orderMoney", orderMoney)
            .field("payMoney", payMoney)
            .field("payType", payType)
            .field("merName", merName)
            .endObject()
            .endObject();
        return writer.text();
    }
};

// name=value&... with the names and values percent-decoded; false when a pair has no "=".
bool decodeForm(const std::string &body, Fields &fields)
{
    if (body.empty()) {
        return false;
    }
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos) {
            end = body.size();
        }
        const std::string pair = body.substr(start, end - start);
        const size_t equals = pair.find('=');
        if (equals == std::string::npos || equals == 0) {
            return false;
        }
        fields.emplace_back(Envelope::formDecode(pair.substr(0, equals)),
            Envelope::formDecode(pair.substr(equals + 1)));
        start = end + 1;
    }
    return true;
}

} // namespace

GatewayService::GatewayService(SandboxStore &store, std::string offerVersion)
    : m_store(store)
    , m_offerVersion(std::move(offerVersion))
{ }

std::string GatewayService::login(const std::string &body)
{
    const std::optional<Reply> request = Reply::parse(body);
    Fields fields;
    std::string badName;
    if (!request || !flatObject(request->tree(), fields, badName)) {
        return refusal(kBadRequest, notStrings(badName));
    }
    if (const auto problem
        = FieldRules::checkFieldSet(fields, {"type", "terminal", "tel", "pass"}, {})) {
        return refusal(kBadRequest, *problem);
    }
    if (FieldRules::value(fields, "type") != std::optional<std::string>("1")) {
        return refusal(kBadRequest, "type 必须是 \"1\" (type must be \"1\")");
    }
    const std::optional<Cashier> cashier = m_store.cashierByTel(*FieldRules::value(fields, "tel"));
    if (!cashier || cashier->passProof != *FieldRules::value(fields, "pass")) {
        return refusal(kLoginFailed, "账号或密码错误 (wrong phone number or password)");
    }
    const Merchant &merchant = cashier->merchant;
    return success("登录成功 (logged in)",
        {{"appid", merchant.appid}, {"key", merchant.key}, {"sid", merchant.sid},
            {"uid", cashier->uid}, {"api_time", TimeText::unixSeconds()},
            {"mch_name", merchant.mchName}, {"store_name", merchant.storeName},
            {"store_tel", merchant.storeTel}});
}

std::string GatewayService::face(const std::string &body, int paidAfterQueries)
{
    const std::optional<Reply> request = Reply::parse(body);
    if (!request || !request->tree().data().empty()) {
        return refusal(kBadRequest, kMalformed);
    }
    const ptree &tree = request->tree();
    Fields envelope;
    const ptree *data = nullptr;
    for (const auto &member : tree) {
        if (member.first == "data") {
            if (data || !member.second.data().empty()) {
                return refusal(kBadRequest, "data 必须是对象 (data must be one JSON object)");
            }
            data = &member.second;
        } else if (!member.second.empty()) {
            return refusal(kBadRequest, notStrings(member.first));
        } else {
            envelope.emplace_back(member.first, member.second.data());
        }
    }
    if (const auto problem = FieldRules::checkFieldSet(envelope, {"appid", "method", "sign"}, {})) {
        return refusal(kBadRequest, *problem);
    }
    if (!data) {
        return refusal(kBadRequest, "缺少字段: data (missing field: data)");
    }
    const std::optional<Merchant> merchant
        = m_store.merchantByAppid(*FieldRules::value(envelope, "appid"));
    if (!merchant) {
        return refusal(kUnknownAppid, "appid 不存在 (unknown appid)");
    }
    const std::string method = *FieldRules::value(envelope, "method");
    const FieldRules::MethodFields *shape = FieldRules::methodFields(method);
    if (!shape) {
        return refusal(kUnknownMethod, "不支持的方法: " + method + " (unknown method)");
    }
    Fields fields;
    std::string badName;
    if (!flatObject(*data, fields, badName)) {
        return refusal(kBadRequest, notStrings(badName.empty() ? "data" : badName));
    }
    if (const auto problem = FieldRules::checkFieldSet(fields, shape->required, shape->optional)) {
        return refusal(kBadRequest, *problem);
    }
    if (Signing::sign(fields, merchant->key) != *FieldRules::value(envelope, "sign")) {
        return refusal(kBadSign, "签名错误 (bad sign)");
    }
    if (!FieldRules::isNonce(*FieldRules::value(fields, "nonce_str"))) {
        return refusal(kBadValue, kBadNonce);
    }
    if (method == "auto_pay") {
        return pay(*merchant, fields, paidAfterQueries);
    }
    if (method == "auto_orderQuery") {
        return orderQuery(*merchant, fields);
    }
    if (method == "mch_orderList") {
        return orderList(*merchant, fields);
    }
    if (method == "auto_orderRefund") {
        return orderRefund(*merchant, fields);
    }
    return orderCount(*merchant, fields);
}

std::string GatewayService::pay(const Merchant &merchant, const Fields &data, int paidAfterQueries)
{
    const std::optional<long long> total
        = FieldRules::minorUnits(*FieldRules::value(data, "total"));
    if (!total) {
        return refusal(kBadValue, kBadTotal);
    }
    if (*FieldRules::value(data, "store_id") != merchant.sid) {
        return refusal(kBadValue, kWrongStore);
    }
    const PayDecision decision = PayRules::classify(*FieldRules::value(data, "authCode"));
    if (decision.outcome == PayOutcome::InvalidCode) {
        return refusal(kInvalidCode, kInvalidCodeText);
    }
    if (decision.outcome == PayOutcome::Refused) {
        return refusal(kPayRefused, kRefusedText);
    }
    const Order order = paidAfterQueries < 0
        ? m_store.createOrder(merchant, std::string(), *total, decision.wallet, decision.outcome)
        : m_store.createOrder(merchant, std::string(), *total, decision.wallet,
            PayOutcome::PendingForever, paidAfterQueries + 1);
    Fields reply = {{"status", order.status}, {"out_trade_no", order.outTradeNo}};
    if (order.status == "1") {
        reply.insert(reply.end(),
            {{"transaction_id", order.transactionId}, {"payType", order.service},
                {"payTime", order.timeEnd}, {"total", text(order.total)}});
        return success("支付成功 (paid)", reply);
    }
    return success("等待用户支付 (waiting for the customer to pay)", reply);
}

std::string GatewayService::orderQuery(const Merchant &merchant, const Fields &data)
{
    const std::optional<Order> order
        = m_store.queryOrder(merchant.id, *FieldRules::value(data, "out_trade_no"));
    if (!order) {
        return refusal(kUnknownOrder, kUnknownOrderText);
    }
    return success("查询成功 (order found)",
        {{"out_trade_no", order->outTradeNo}, {"status", order->status},
            {"payType", order->service}, {"total", text(order->total)},
            {"orderStatus", order->orderStatus}, {"time_end", order->timeEnd}});
}

std::string GatewayService::orderList(const Merchant &merchant, const Fields &data)
{
    const std::string from = *FieldRules::value(data, "sdate");
    const std::string to = *FieldRules::value(data, "edate");
    if (!FieldRules::isDateTime14(from) || !FieldRules::isDateTime14(to)) {
        return refusal(kBadValue,
            "sdate/edate 必须是 yyyyMMddHHmmss (sdate and edate must be yyyyMMddHHmmss)");
    }
    if (*FieldRules::value(data, "store_id") != merchant.sid) {
        return refusal(kBadValue, kWrongStore);
    }
    const std::string statusText = *FieldRules::value(data, "status");
    std::optional<std::string> status;
    if (statusText == "0" || statusText == "1" || statusText == "3") {
        status = statusText;
    } else if (statusText != "4" && !statusText.empty()) {
        return refusal(kBadValue, "status 必须是 0、1、3 或 4 (status must be 0, 1, 3 or 4)");
    }
    const auto page = FieldRules::positiveInteger(*FieldRules::value(data, "page"), 1000000);
    const auto limit = FieldRules::positiveInteger(
        *FieldRules::value(data, "limit"), SandboxStore::kMaxListLimit);
    if (!page || !limit) {
        return refusal(kBadValue,
            "page/limit 必须是正整数 (page and limit must be positive "
            "integers, limit at most "
                + text(SandboxStore::kMaxListLimit) + ")");
    }
    const std::vector<Order> orders
        = m_store.listOrders(merchant.id, merchant.sid, from, to, status, *page, *limit);
    JsonWriter writer;
    writer.beginObject().field("code", kOk).field("msg", "查询成功 (orders listed)");
    writer.beginObject("data").beginArray("order_data");
    for (const Order &order : orders) {
        writer.beginObject()
            .field("out_trade_no", order.outTradeNo)
            .field("total_fee", text(order.total))
            .field("service", order.service)
            .field("time_end", order.timeEnd)
            .field("status", order.status)
            .field("pay_status", order.orderStatus)
            .endObject();
    }
    writer.endArray().endObject().endObject();
    return writer.text();
}

std::string GatewayService::orderRefund(const Merchant &merchant, const Fields &data)
{
    std::optional<long long> amount;
    if (const auto totalText = FieldRules::value(data, "total")) {
        amount = FieldRules::minorUnits(*totalText);
        if (!amount) {
            return refusal(kBadValue, kBadTotal);
        }
    }
    Order order;
    const RefundResult result
        = m_store.refund(merchant.id, *FieldRules::value(data, "out_trade_no"), amount,
            FieldRules::value(data, "refund_desc").value_or(std::string()), order);
    switch (result) {
    case RefundResult::UnknownOrder:
        return refusal(kUnknownOrder, kUnknownOrderText);
    case RefundResult::NotPaid:
        return refusal(kRefundRefused, "订单未支付，不能退款 (the order is not paid)");
    case RefundResult::AlreadyRefunded:
        return refusal(kRefundRefused, "订单已退款 (the order is already refunded)");
    case RefundResult::OverAmount:
        return refusal(kRefundRefused,
            "退款金额必须大于 0 且不超过实付金额 (the refund must be "
            "more than 0 and at most the paid amount)");
    case RefundResult::Done:
        break;
    }
    return success("退款成功 (refunded)",
        {{"pay_type", order.service}, {"refund_total", text(order.refundTotal)},
            {"out_trade_no", order.outTradeNo}});
}

std::string GatewayService::orderCount(const Merchant &merchant, const Fields &data)
{
    const std::string from = *FieldRules::value(data, "sdate");
    const std::string to = *FieldRules::value(data, "edate");
    if (!FieldRules::isDate8(from) || !FieldRules::isDate8(to)) {
        return refusal(kBadValue, "sdate/edate 必须是 yyyyMMdd (sdate and edate must be yyyyMMdd)");
    }
    if (*FieldRules::value(data, "store_id") != merchant.sid) {
        return refusal(kBadValue, kWrongStore);
    }
    const DayTotals totals = m_store.totals(merchant.id, merchant.sid, from, to);
    Fields reply;
    const auto add = [&reply](const std::string &prefix, const WalletTotals &wallet) {
        reply.emplace_back(prefix + "total", text(wallet.total));
        reply.emplace_back(prefix + "re_total", text(wallet.refunded));
        reply.emplace_back(prefix + "suc_total", text(wallet.total - wallet.refunded));
        reply.emplace_back(prefix + "count", text(wallet.count));
    };
    add("", totals.all);
    add("wx_", totals.wx);
    add("ali_", totals.ali);
    return success("查询成功 (day totals)", reply);
}

std::string GatewayService::update(const std::string &body, const std::string &baseUrl)
{
    const auto answer = [](const std::string &msg) {
        JsonWriter writer;
        writer.beginObject().field("status", "0").field("msg", msg).endObject();
        return writer.text();
    };
    const std::optional<Reply> request = Reply::parse(body);
    Fields fields;
    std::string badName;
    if (!request || !flatObject(request->tree(), fields, badName)) {
        return answer(notStrings(badName));
    }
    if (const auto problem
        = FieldRules::checkFieldSet(fields, {"type", "nonce_str", "mark", "sign"}, {})) {
        return answer(*problem);
    }
    const Fields signedFields = {{"mark", *FieldRules::value(fields, "mark")},
        {"nonce_str", *FieldRules::value(fields, "nonce_str")},
        {"type", *FieldRules::value(fields, "type")}};
    if (Signing::sign(signedFields, kUpgradeKey) != *FieldRules::value(fields, "sign")) {
        return answer("签名错误 (bad sign)");
    }
    if (m_offerVersion.empty()) {
        return answer("已是最新版本 (no newer version)");
    }
    JsonWriter writer;
    writer.beginObject()
        .field("status", "1")
        .field("msg", "发现新版本 (a newer version is available)")
        .field("info", "Tallyport " + m_offerVersion + " 沙箱测试版本 (sandbox test release)")
        .field("version", m_offerVersion)
        .field("url",
            baseUrl + "/download/"
                + (m_offerFileName.empty() ? "Tallyport-" + m_offerVersion + ".tar.gz"
                                           : m_offerFileName))
        .endObject();
    return writer.text();
}

std::string GatewayService::createApp(const std::string &body)
{
    TradeAnswer answer;
    Fields fields;
    if (!decodeForm(body, fields)) {
        answer.message = "请求不是有效的表单 (the request is not a valid form body)";
        return answer.json();
    }
    if (const auto problem = FieldRules::checkFieldSet(
            fields, {"loginName", "orderMoney", "authCode", "payType"}, {})) {
        answer.message = *problem;
        return answer.json();
    }
    const std::optional<Cashier> cashier
        = m_store.cashierByTel(*FieldRules::value(fields, "loginName"));
    if (!cashier) {
        answer.message = "收银员账号不存在 (unknown cashier login name)";
        return answer.json();
    }
    answer.clerkName = cashier->name;
    answer.merName = cashier->merchant.mchName;
    const std::string moneyText = *FieldRules::value(fields, "orderMoney");
    const std::optional<std::string> minorText = Amount::toMinorUnits(moneyText);
    const std::optional<long long> minor
        = minorText ? Amount::parseMinorUnits(*minorText) : std::nullopt;
    if (!minor) {
        answer.message = "金额格式错误 (orderMoney must be a plain decimal with at most two "
                         "decimals)";
        return answer.json();
    }
    answer.orderMoney = twoDecimals(*minor);
    const std::string payType = *FieldRules::value(fields, "payType");
    if (payType != "0" && payType != "1" && payType != "2") {
        answer.message = "payType 必须是 0、1 或 2 (payType must be 0, 1 or 2)";
        return answer.json();
    }
    const PayDecision decision = PayRules::classify(*FieldRules::value(fields, "authCode"));
    answer.payType = PayRules::tradePayType(decision.wallet);
    if (decision.outcome == PayOutcome::InvalidCode) {
        answer.message = kInvalidCodeText;
        return answer.json();
    }
    if (decision.outcome == PayOutcome::Refused) {
        answer.message = kRefusedText;
        return answer.json();
    }
    const Order order = m_store.createOrder(
        cashier->merchant, cashier->uid, *minor, decision.wallet, decision.outcome);
    answer.success = true;
    answer.orderNo = order.outTradeNo;
    answer.orderStatus = order.orderStatus;
    if (order.status == "1") {
        answer.payStatus = "支付成功";
        answer.message = "支付成功 (paid)";
        answer.payTime = order.timeEnd;
        answer.payMoney = twoDecimals(order.total);
    } else {
        answer.payStatus = "等待支付";
        answer.message = "等待用户支付 (waiting for the customer to pay)";
    }
    return answer.json();
}
