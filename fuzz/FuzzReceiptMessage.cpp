// Receipt messages: their fields come from the gateway through the checkout and the order
// list. Any text must split into seven fields that give the text back, print in every layout,
// language and paper width without a fault, and never give a bar code that scans as anything
// but the order number: either the bars read back as exactly its digits, or there are none.
//
// The first byte chooses how the rest becomes a wide string (its value mod 3): one character
// per byte, UTF-8, or raw 32-bit units (any value, also no character at all).
#include "FuzzSupport.h"

#include "Code128Encoder.h"
#include "LastReceipt.h"
#include "ReceiptMessage.h"
#include "ReceiptPrinter.h"
#include "RecordingPrintDevice.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

using FuzzSupport::require;
using Call = RecordingPrintDevice::Call;

namespace {

constexpr std::size_t kMaxPrintedSize = 4096;

std::wstring wideText(const uint8_t *data, size_t size)
{
    if (size == 0)
        return std::wstring();
    const int mode = data[0] % 3;
    ++data;
    --size;
    if (mode == 0)
        return std::wstring(data, data + size);
    if (mode == 1)
        return QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)).toStdWString();
    std::wstring text(size / sizeof(wchar_t), L'\0');
    std::memcpy(&text[0], data, text.size() * sizeof(wchar_t));
    return text;
}

// The fields are the text's pieces between "#": six, then the rest (which keeps its "#");
// pieces a shorter text lacks are empty, and so is a piece that reads "null".
void checkSplit(const std::wstring &text)
{
    const ReceiptMessage message(text);
    const QStringList pieces = QString::fromStdWString(text).split(QLatin1Char('#'));
    QStringList expected = pieces.mid(0, ReceiptMessage::kFieldCount - 1);
    if (pieces.size() >= ReceiptMessage::kFieldCount)
        expected << pieces.mid(ReceiptMessage::kFieldCount - 1).join(QLatin1Char('#'));
    while (expected.size() < ReceiptMessage::kFieldCount)
        expected << QString();
    for (QString &field : expected) {
        if (field == QLatin1String("null"))
            field.clear();
    }
    QStringList fields;
    for (int i = 0; i < ReceiptMessage::kFieldCount; ++i)
        fields << message.field(i);
    require(
        fields == expected, "seven fields split at the first six #", fields.join(QLatin1Char('|')));
    require(message.field(-1).isEmpty() && message.field(ReceiptMessage::kFieldCount).isEmpty(),
        "only seven fields");
}

// Reads the bar-code lines of a job back into symbol values; false when they are no Code 128.
bool readSymbols(const std::vector<Call> &lines, std::vector<int> &symbols)
{
    static const std::map<std::string, int> values = [] {
        std::map<std::string, int> table;
        for (int value = 0; value < Code128Encoder::kSymbolCount; ++value)
            table[Code128Encoder::pattern(value)] = value;
        return table;
    }();
    std::string modules;
    for (const Call &line : lines)
        modules += line.colour == PrintDevice::kBlack ? 'b' : 's';
    if (modules.size() < 13 || (modules.size() - 13) % 11 != 0)
        return false;
    for (std::size_t at = 0; at + 13 < modules.size(); at += 11) {
        const auto found = values.find(modules.substr(at, 11));
        if (found == values.end())
            return false;
        symbols.push_back(found->second);
    }
    return modules.substr(modules.size() - 13) == Code128Encoder::pattern(Code128Encoder::kStop);
}

// What a scanner reads from code set C symbols: pairs, and after Code B one character each.
bool scan(const std::vector<int> &symbols, std::string &text)
{
    if (symbols.size() < 2 || symbols.front() != Code128Encoder::kStartC)
        return false;
    long long sum = symbols.front();
    for (std::size_t i = 1; i + 1 < symbols.size(); ++i)
        sum += static_cast<long long>(i) * symbols[i];
    if (sum % 103 != symbols.back())
        return false;
    bool codeB = false;
    for (std::size_t i = 1; i + 1 < symbols.size(); ++i) {
        const int value = symbols[i];
        if (!codeB && value == Code128Encoder::kCodeB) {
            codeB = true;
        } else if (codeB) {
            if (value > 95)
                return false;
            text += char(value + 32);
        } else {
            if (value > 99)
                return false;
            text += char('0' + value / 10);
            text += char('0' + value % 10);
        }
    }
    return true;
}

void checkBarcode(const std::vector<Call> &calls, const QString &orderNumber)
{
    std::vector<Call> lines;
    for (const Call &call : calls) {
        if (call.kind == Call::Kind::VerticalLine)
            lines.push_back(call);
    }
    if (lines.empty())
        return;
    std::vector<int> symbols;
    std::string scanned;
    require(readSymbols(lines, symbols) && scan(symbols, scanned), "the bars are a Code 128 C");
    require(QString::fromStdString(scanned) == orderNumber, "the bars scan as the order number",
        orderNumber);
}

void checkPrinting(const std::wstring &text)
{
    std::vector<Call> calls;
    const ReceiptPrinter printer(
        [&calls] { return std::make_unique<RecordingPrintDevice>(&calls); });
    const ReceiptPrinter::Party party {QStringLiteral("Shop"), QStringLiteral("13800000000")};
    const ReceiptMessage message(text);
    for (const int language : {0, 1, 2}) {
        LastReceipt last;
        last.store(text, language);
        for (const int width : {0, 1, 2}) {
            const ReceiptPrinter::Settings settings {0, 0, width, language};
            calls.clear();
            require(printer.printPaySuccess(text, party, settings) == 1, "one job");
            checkBarcode(calls, message.field(4));
            calls.clear();
            require(printer.printOrderList(text, party, settings) == 1, "one job");
            checkBarcode(calls, message.field(6));
            calls.clear();
            require(printer.reprint(last, party, settings) == 1, "one job");
            checkBarcode(calls, last.fields().orderNumber);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::wstring text = wideText(data, size);
    checkSplit(text);
    if (text.size() <= kMaxPrintedSize)
        checkPrinting(text);
    return 0;
}
