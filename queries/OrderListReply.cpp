#include "OrderListReply.h"

#include "JsonScanner.h"
#include "Reply.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

using Kind = JsonScanner::Kind;

// The reply is read front to back in one pass; what the reply reader would conclude reading
// the same bytes as a tree, path by path, is worked out from what the pass saw. In the tree,
// a text or literal is a value, an empty object, list or text is an empty value, and an
// object or list with members is a node with children; reading a value from a node with
// children, or going into a non-empty text, a literal or a list (an object whose first name
// is empty reads as one), marks the reply as malformed; a missing name ends the reading.
enum class Step { Missing, Read, Malformed };

// Closes a container whose first member or element has been opened, skipping the rest.
bool skipRest(JsonScanner &scanner, Kind kind, std::string_view &name)
{
    if (!scanner.skipValue())
        return false;
    if (kind == Kind::Object) {
        while (scanner.nextMember(name)) {
            if (!scanner.skipValue())
                return false;
        }
    } else {
        while (scanner.nextElement()) {
            if (!scanner.skipValue())
                return false;
        }
    }
    return !scanner.failed();
}

// A value read as a text: Read (with `value`) or Malformed (a container with members).
Step readText(JsonScanner &scanner, std::string &value, std::string_view &name)
{
    const std::optional<Kind> kind = scanner.peek();
    if (!kind)
        return Step::Malformed;
    if (*kind == Kind::String || *kind == Kind::Literal) {
        std::string_view text;
        if (!scanner.readScalar(text))
            return Step::Malformed;
        value = std::string(text); // built and moved in: cheaper than assigning to it
        return Step::Read;
    }
    const bool more = *kind == Kind::Object ? scanner.beginObject() && scanner.nextMember(name)
                                            : scanner.beginArray() && scanner.nextElement();
    if (scanner.failed())
        return Step::Malformed;
    if (!more) {
        value.clear();
        return Step::Read;
    }
    skipRest(scanner, *kind, name);
    return Step::Malformed;
}

// The fields of an order, in the order they are read.
enum Field { OrderNumber, TotalFee, Service, TimeEnd, Status, PayStatus, kFieldCount };

// The list is reserved for at most as many orders as the body can hold whole (each takes at
// least 84 bytes: the six names quoted, six one-byte values, braces and commas), and never for
// more than the gateway's page of 20000: a larger list grows as it is read.
constexpr std::size_t kMinOrderBytes = 84;
constexpr std::size_t kListLimit = 20000;

int fieldOf(std::string_view name)
{
    switch (name.size()) {
    case 12:
        return name == "out_trade_no" ? OrderNumber : -1;
    case 9:
        return name == "total_fee" ? TotalFee : -1;
    case 7:
        return name == "service" ? Service : -1;
    case 8:
        return name == "time_end" ? TimeEnd : -1;
    case 6:
        return name == "status" ? Status : -1;
    case 10:
        return name == "pay_status" ? PayStatus : -1;
    default:
        return -1;
    }
}

std::string &fieldText(OrderRecord &record, int field)
{
    switch (field) {
    case OrderNumber:
        return record.orderNumber;
    case TotalFee:
        return record.totalFee;
    case Service:
        return record.service;
    case TimeEnd:
        return record.timeEnd;
    case Status:
        return record.status;
    default:
        return record.orderStatus;
    }
}

class Decoder final
{
public:
    explicit Decoder(const std::string &body)
        : m_bodySize(body.size())
        , m_scanner(body)
    { }

    std::optional<OrderListReply> decode();

private:
    // A node the reader goes into. Its members go to `member`; returns Missing for a node
    // without members (an empty object, list or text), Malformed for a non-empty text, a
    // literal or a list, Read otherwise.
    template<typename Member>
    Step enter(Member member);
    void readData();
    void readOrders();
    void readOrder();

    std::size_t m_bodySize;
    JsonScanner m_scanner;
    std::string_view m_name;

    Step m_code = Step::Missing;
    Step m_message = Step::Missing;
    Step m_data = Step::Missing;
    Step m_orders = Step::Missing;
    // How the first order that was not whole ended (Missing or Malformed); Read while every
    // order so far was whole.
    Step m_stop = Step::Read;
    OrderListReply m_list;
};

template<typename Member>
Step Decoder::enter(Member member)
{
    const std::optional<Kind> kind = m_scanner.peek();
    if (!kind)
        return Step::Malformed;
    if (*kind == Kind::Literal) {
        m_scanner.skipValue();
        return Step::Malformed;
    }
    if (*kind == Kind::String) {
        std::string_view text;
        m_scanner.readScalar(text);
        return text.empty() ? Step::Missing : Step::Malformed;
    }
    if (*kind == Kind::Array) {
        if (!m_scanner.beginArray() || !m_scanner.nextElement())
            return m_scanner.failed() ? Step::Malformed : Step::Missing;
        skipRest(m_scanner, Kind::Array, m_name);
        return Step::Malformed;
    }
    if (!m_scanner.beginObject())
        return Step::Malformed;
    bool first = true;
    bool list = false;
    while (m_scanner.nextMember(m_name)) {
        if (first)
            list = m_name.empty();
        first = false;
        member();
        if (m_scanner.failed())
            return Step::Malformed;
    }
    if (first)
        return Step::Missing;
    return list ? Step::Malformed : Step::Read;
}

std::optional<OrderListReply> Decoder::decode()
{
    if (m_scanner.peek() != Kind::Object)
        return std::nullopt;
    const Step root = enter([this] {
        if (m_name == "code" && m_code == Step::Missing)
            m_code = readText(m_scanner, m_list.code, m_name);
        else if (m_name == "msg" && m_message == Step::Missing)
            m_message = readText(m_scanner, m_list.message, m_name);
        else if (m_name == "data" && m_data == Step::Missing)
            readData();
        else
            m_scanner.skipValue();
    });
    if (m_scanner.failed() || !m_scanner.atEnd() || root == Step::Malformed)
        return std::nullopt;

    // What a reader going path by path makes of it: code, msg, then data.order_data.
    OrderListReply empty;
    for (const Step step : {m_code, m_message}) {
        if (step == Step::Malformed)
            return std::nullopt;
        if (step == Step::Missing) {
            if (m_code == Step::Read)
                empty.code = m_list.code;
            return empty;
        }
    }
    if (m_data == Step::Malformed || m_orders == Step::Malformed || m_stop == Step::Malformed)
        return std::nullopt;
    return std::move(m_list);
}

void Decoder::readData()
{
    m_data = Step::Read;
    const Step data = enter([this] {
        if (m_name == "order_data" && m_orders == Step::Missing)
            readOrders();
        else
            m_scanner.skipValue();
    });
    if (data == Step::Malformed) {
        m_data = Step::Malformed;
        m_orders = Step::Missing;
        m_list.records.clear();
    }
}

void Decoder::readOrders()
{
    m_orders = Step::Read;
    const std::optional<Kind> kind = m_scanner.peek();
    if (!kind)
        return;
    if (*kind == Kind::String || *kind == Kind::Literal) {
        std::string_view text;
        m_scanner.readScalar(text);
        if (!text.empty())
            m_orders = Step::Malformed;
        return;
    }
    // A list, or an object whose members are taken in order.
    if (*kind == Kind::Array) {
        if (!m_scanner.beginArray())
            return;
        while (m_scanner.nextElement())
            readOrder();
    } else {
        if (!m_scanner.beginObject())
            return;
        while (m_scanner.nextMember(m_name))
            readOrder();
    }
}

void Decoder::readOrder()
{
    if (m_stop != Step::Read) {
        m_scanner.skipValue();
        return;
    }
    // The order is read in place and dropped again if it is not whole.
    std::vector<OrderRecord> &records = m_list.records;
    if (records.capacity() == 0)
        records.reserve(std::min(kListLimit, m_bodySize / kMinOrderBytes));
    OrderRecord &record = records.emplace_back();
    std::array<Step, kFieldCount> fields {};
    const Step order = enter([this, &record, &fields] {
        const int field = fieldOf(m_name);
        if (field < 0 || fields[field] != Step::Missing) {
            m_scanner.skipValue();
            return;
        }
        fields[field] = readText(m_scanner, fieldText(record, field), m_name);
    });
    if (order != Step::Read) {
        m_stop = order;
        records.pop_back();
        return;
    }
    for (const Step field : fields) {
        if (field != Step::Read) {
            m_stop = field;
            records.pop_back();
            return;
        }
    }
}

} // namespace

std::optional<OrderListReply> OrderListReply::decode(const std::string &body)
{
    return Decoder(body).decode();
}

std::optional<OrderListReply> OrderListReply::decodeByPaths(const std::string &body)
{
    const std::optional<Reply> reply = Reply::parse(body);
    if (!reply)
        return std::nullopt;
    OrderListReply list;
    ReplyReader reader = reply->reader();
    reader.read("code", list.code) && reader.read("msg", list.message);
    reader.forEach("data.order_data", [&list](ReplyReader &entry) {
        OrderRecord record;
        if (entry.read("out_trade_no", record.orderNumber)
            && entry.read("total_fee", record.totalFee) && entry.read("service", record.service)
            && entry.read("time_end", record.timeEnd) && entry.read("status", record.status)
            && entry.read("pay_status", record.orderStatus))
            list.records.push_back(record);
    });
    if (reader.malformed())
        return std::nullopt;
    return list;
}
