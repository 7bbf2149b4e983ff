#include "FieldRules.h"

#include <algorithm>
#include <set>

namespace {

const std::vector<FieldRules::MethodFields> &methodTable()
{
    static const std::vector<FieldRules::MethodFields> table = {
        {"auto_pay", {"store_id", "total", "nonce_str", "authCode"}, {}},
        {"auto_orderQuery", {"out_trade_no", "nonce_str"}, {}},
        {"mch_orderList", {"sdate", "nonce_str", "edate", "status", "page", "limit", "store_id"},
            {}},
        {"auto_orderRefund", {"out_trade_no", "nonce_str"}, {"refund_desc", "total"}},
        {"mch_orderCount", {"store_id", "status", "sdate", "edate", "nonce_str"}, {}},
    };
    return table;
}

bool allDigits(const std::string &text)
{
    return !text.empty()
        && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int number(const std::string &text, size_t pos, size_t length)
{
    return std::stoi(text.substr(pos, length));
}

bool plausibleDate(const std::string &text)
{
    const int month = number(text, 4, 2);
    const int day = number(text, 6, 2);
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

} // namespace

const FieldRules::MethodFields *FieldRules::methodFields(const std::string &method)
{
    for (const MethodFields &entry : methodTable()) {
        if (entry.method == method) {
            return &entry;
        }
    }
    return nullptr;
}

std::optional<std::string> FieldRules::checkFieldSet(const Fields &fields,
    const std::vector<std::string> &required, const std::vector<std::string> &optional)
{
    std::set<std::string> seen;
    for (const auto &field : fields) {
        const std::string &name = field.first;
        if (!seen.insert(name).second) {
            return "字段重复: " + name + " (field given twice: " + name + ")";
        }
        const bool known = std::find(required.begin(), required.end(), name) != required.end()
            || std::find(optional.begin(), optional.end(), name) != optional.end();
        if (!known) {
            return "未知字段: " + name + " (unknown field: " + name + ")";
        }
    }
    for (const std::string &name : required) {
        if (seen.count(name) == 0) {
            return "缺少字段: " + name + " (missing field: " + name + ")";
        }
    }
    return std::nullopt;
}

std::optional<std::string> FieldRules::value(const Fields &fields, const std::string &name)
{
    for (const auto &field : fields) {
        if (field.first == name) {
            return field.second;
        }
    }
    return std::nullopt;
}

bool FieldRules::isPlainMinorUnits(const std::string &text)
{
    if (!allDigits(text) || text.size() > 15) {
        return false;
    }
    return text.size() == 1 || text[0] != '0';
}

std::optional<long long> FieldRules::minorUnits(const std::string &text)
{
    if (!isPlainMinorUnits(text)) {
        return std::nullopt;
    }
    return std::stoll(text);
}

std::optional<long long> FieldRules::positiveInteger(const std::string &text, long long maxValue)
{
    if (!allDigits(text) || text.size() > 15 || text[0] == '0') {
        return std::nullopt;
    }
    const long long value = std::stoll(text);
    if (value > maxValue) {
        return std::nullopt;
    }
    return value;
}

bool FieldRules::isDateTime14(const std::string &text)
{
    if (text.size() != 14 || !allDigits(text) || !plausibleDate(text)) {
        return false;
    }
    return number(text, 8, 2) <= 23 && number(text, 10, 2) <= 59 && number(text, 12, 2) <= 59;
}

bool FieldRules::isDate8(const std::string &text)
{
    return text.size() == 8 && allDigits(text) && plausibleDate(text);
}

bool FieldRules::isNonce(const std::string &text)
{
    return !text.empty() && text.size() <= 64
        && std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 127; });
}
