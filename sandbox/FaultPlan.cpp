#include "FaultPlan.h"

#include "FieldRules.h"
#include "Reply.h"

#include <openssl/evp.h>

void FaultPlan::add(const Fault &fault)
{
    if (fault.count <= 0) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.push_back(fault);
}

void FaultPlan::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

std::optional<Fault> FaultPlan::take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_faults.empty()) {
        return std::nullopt;
    }
    Fault applied = m_faults.front();
    applied.count = 1;
    if (--m_faults.front().count <= 0) {
        m_faults.pop_front();
    }
    return applied;
}

int FaultPlan::pending() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int sum = 0;
    for (const Fault &fault : m_faults) {
        sum += fault.count;
    }
    return sum;
}

std::string FaultPlan::kindName(Fault::Kind kind)
{
    switch (kind) {
    case Fault::Kind::Delay:
        return "delay";
    case Fault::Kind::Status:
        return "status";
    case Fault::Kind::InvalidJson:
        return "invalid_json";
    case Fault::Kind::Redirect:
        return "redirect";
    case Fault::Kind::Drop:
        return "drop";
    case Fault::Kind::Body:
        return "body";
    case Fault::Kind::DropReply:
        return "drop_reply";
    case Fault::Kind::PaidLate:
        return "paid_late";
    case Fault::Kind::CutReply:
        return "cut_reply";
    }
    return {};
}

namespace {

// Reads an integer member in [minValue, maxValue]; absent members keep `target`.
bool readNumber(const boost::property_tree::ptree &tree, const char *name, int minValue,
    int maxValue, int &target, std::string &error)
{
    const auto child = tree.get_child_optional(name);
    if (!child) {
        return true;
    }
    const auto value = FieldRules::positiveInteger(child->data(), maxValue);
    const bool zeroAllowed = minValue == 0 && child->data() == "0";
    if (!zeroAllowed && (!value || *value < minValue)) {
        error = std::string("bad value of \"") + name + "\": " + child->data();
        return false;
    }
    target = zeroAllowed ? 0 : static_cast<int>(*value);
    return true;
}

// A string member; absent members keep `target`. False when the member is not a string.
bool readText(const boost::property_tree::ptree &tree, const char *name, std::string &target,
    std::string &error)
{
    const auto child = tree.get_child_optional(name);
    if (!child) {
        return true;
    }
    if (!child->empty()) {
        error = std::string("\"") + name + "\" must be a string";
        return false;
    }
    target = child->data();
    return true;
}

std::optional<std::string> decodeBase64(const std::string &text)
{
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string bytes(text.size() / 4 * 3, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char *>(bytes.data()),
        reinterpret_cast<const unsigned char *>(text.data()), static_cast<int>(text.size()));
    if (length < 0) {
        return std::nullopt;
    }
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    bytes.resize(static_cast<std::size_t>(length) - padding);
    return bytes;
}

// The canned answer of a body fault: prefix + body (or the bytes of body_base64) repeated +
// suffix.
bool readBody(const boost::property_tree::ptree &tree, std::string &body, std::string &error)
{
    std::string text, encoded, prefix, suffix;
    int repeat = 1;
    const bool hasText = tree.get_child_optional("body").has_value();
    const bool hasEncoded = tree.get_child_optional("body_base64").has_value();
    if (hasText == hasEncoded) {
        error = "the fault kind body needs \"body\", a string, or \"body_base64\"";
        return false;
    }
    if (!readText(tree, "body", text, error) || !readText(tree, "body_base64", encoded, error)
        || !readText(tree, "prefix", prefix, error) || !readText(tree, "suffix", suffix, error)
        || !readNumber(tree, "repeat", 1, FaultPlan::kMaxRepeat, repeat, error)) {
        return false;
    }
    if (hasEncoded) {
        const std::optional<std::string> bytes = decodeBase64(encoded);
        if (!bytes) {
            error = "\"body_base64\" is not base64";
            return false;
        }
        text = *bytes;
    }
    const std::size_t size = prefix.size() + text.size() * std::size_t(repeat) + suffix.size();
    if (size > FaultPlan::kMaxBodyBytes) {
        error = "the body would be larger than " + std::to_string(FaultPlan::kMaxBodyBytes)
            + " bytes";
        return false;
    }
    body.reserve(size);
    body = prefix;
    for (int i = 0; i < repeat; ++i) {
        body += text;
    }
    body += suffix;
    return true;
}

} // namespace

bool FaultPlan::parse(const std::string &json, Fault &fault, bool &isClear, std::string &error)
{
    isClear = false;
    const std::optional<Reply> reply = Reply::parse(json);
    if (!reply) {
        error = "the fault request is not a JSON object";
        return false;
    }
    const boost::property_tree::ptree &tree = reply->tree();
    const std::string kind = tree.get<std::string>("kind", "");
    fault = Fault();
    if (!readNumber(tree, "count", 1, kMaxCount, fault.count, error)) {
        return false;
    }
    if (kind == "clear") {
        isClear = true;
        return true;
    }
    if (kind == "delay") {
        fault.kind = Fault::Kind::Delay;
        fault.value = -1;
        if (!readNumber(tree, "ms", 0, kMaxDelayMs, fault.value, error)) {
            return false;
        }
    } else if (kind == "status") {
        fault.kind = Fault::Kind::Status;
        fault.value = -1;
        if (!readNumber(tree, "status", 100, 599, fault.value, error)) {
            return false;
        }
    } else if (kind == "invalid_json") {
        fault.kind = Fault::Kind::InvalidJson;
        return true;
    } else if (kind == "redirect") {
        fault.kind = Fault::Kind::Redirect;
        fault.value = -1;
        if (!readText(tree, "location", fault.body, error)) {
            return false;
        }
        if (!fault.body.empty()) {
            fault.value = 1;
            return true;
        }
        if (!readNumber(tree, "hops", 1, kMaxRedirects, fault.value, error)
            || !readNumber(tree, "length", 1, kMaxRedirects, fault.value, error)) {
            return false;
        }
    } else if (kind == "drop") {
        fault.kind = Fault::Kind::Drop;
        return true;
    } else if (kind == "drop_reply") {
        fault.kind = Fault::Kind::DropReply;
        return true;
    } else if (kind == "cut_reply") {
        fault.kind = Fault::Kind::CutReply;
        return true;
    } else if (kind == "paid_late") {
        fault.kind = Fault::Kind::PaidLate;
        fault.value = kDefaultLateQueries;
        return readNumber(tree, "queries", 0, kMaxLateQueries, fault.value, error);
    } else if (kind == "body") {
        fault.kind = Fault::Kind::Body;
        return readBody(tree, fault.body, error);
    } else {
        error = "unknown fault kind \"" + kind
            + "\" (delay, status, invalid_json, redirect, drop, body, drop_reply, cut_reply,"
              " paid_late, clear)";
        return false;
    }
    if (fault.value < 0) {
        error = "the fault kind " + kind + " needs its value (ms, status or hops)";
        return false;
    }
    return true;
}
