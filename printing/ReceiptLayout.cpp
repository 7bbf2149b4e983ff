#include "ReceiptLayout.h"

#include "Language.h"
#include "Settings.h"

namespace {

constexpr int kChinese = 1;

struct Labels
{
    QString title;
    QString merchantName;
    QString cashier;
    QString payType;
    QString orderAmount;
    QString paidAmount;
    QString tradeTime;
    QString orderNumber;
    QString signature;
    QString confirmation;
};

Labels labels(int language)
{
    auto pick = [language](const char *chinese, const char *english, const char *vietnamese) {
        return Language::pick(language, chinese, english, vietnamese);
    };
    return {
        pick("支付凭证", "Payment voucher", "Căn cứ thanh toán"),
        pick("商户名称:", "Merchant name:", "Căn cứ thanh toán:"),
        pick("收银员:", "cashier:", "Nhân viên thu ngân:"),
        pick("交易类型:", "Transaction type:", "Loại giao dịch:"),
        pick("订单金额:", "order amount:", "Số tiền đơn hàng:"),
        pick("交付金额:", "Delivery amount:", "Số tiền thanh toán:"),
        pick("交易时间:", "Trading hours:", "Thời gian giao dịch:"),
        pick("商户单号:", "Merchants to order:", "Mã đơn Merchant:"),
        pick("客户签名", "Customer signature", "Chữ ký khách hàng"),
        pick("本人确认以上交易", "I confirm the above transaction", "Tôi xác nhận giao dịch trên"),
    };
}

// The vertical positions of one paper width and kind. The trade time and the order number
// each have a label row and a value row; where both are the same row, label and value are
// printed as one text.
struct Rows
{
    int merchantName;
    int cashier;
    int payType;
    int orderAmount;
    int paidAmount;
    int tradeTimeLabel;
    int tradeTime;
    int orderNumberLabel;
    int orderNumber;
    int barcodeTop;
    int barcodeBottom;
    int signature;
    int confirmation;
};

// 80 mm, and the hot-key re-print at 80 mm with label and value on one row.
constexpr Rows kRows80mm {100, 170, 240, 310, 400, 500, 550, 600, 650, 760, 870, 1000, 1070};
constexpr Rows kRows80mmOneRow {100, 170, 240, 310, 400, 500, 500, 600, 600, 760, 870, 1000, 1070};
// 58 mm. The hot-key re-print uses the one-row positions of the Chinese receipt in every
// language: 27-unit rows 40 apart, the bars 43 below the last row, the signature 40 below
// the bars, so rows, bars and signature never touch.
constexpr Rows kRows58mm {80, 120, 160, 200, 240, 310, 340, 380, 410, 450, 550, 590, 630};
constexpr Rows kRows58mmOneRow {80, 120, 160, 200, 240, 310, 310, 380, 380, 450, 550, 590, 630};

struct Columns
{
    int titleX;
    int x; // every other row, the bar code and the signature block
};

} // namespace

ReceiptLayout::Page ReceiptLayout::compose(
    Kind kind, int printWidth, int language, const ReceiptFields &fields)
{
    Page page;
    const bool wide = paperWidth(printWidth) == kPaperWidth80mm;
    const bool oneRow = kind == Kind::Reprint || language == kChinese;
    Rows rows;
    Columns columns;
    if (wide) {
        rows = oneRow ? kRows80mmOneRow : kRows80mm;
        if (kind == Kind::Reprint)
            columns = {110, 1};
        else
            columns = language == kChinese ? Columns {100, 90} : Columns {110, 100};
    } else {
        rows = oneRow ? kRows58mmOneRow : kRows58mm;
        columns = {80, 1};
    }

    const Labels text = labels(language);
    page.fontHeight = wide ? kFontHeight80mm : kFontHeight58mm;
    const int x = columns.x;
    page.lines = {
        {columns.titleX, 1, text.title},
        {x, rows.merchantName, text.merchantName + fields.merchantName},
        {x, rows.cashier, text.cashier + fields.cashier},
        {x, rows.payType, text.payType + fields.payType},
        {x, rows.orderAmount, text.orderAmount + fields.orderAmount},
        {x, rows.paidAmount, text.paidAmount + fields.paidAmount},
    };
    if (oneRow) {
        page.lines.push_back({x, rows.tradeTime, text.tradeTime + fields.tradeTime});
        page.lines.push_back({x, rows.orderNumber, text.orderNumber + fields.orderNumber});
    } else {
        page.lines.push_back({x, rows.tradeTimeLabel, text.tradeTime});
        page.lines.push_back({x, rows.tradeTime, fields.tradeTime});
        page.lines.push_back({x, rows.orderNumberLabel, text.orderNumber});
        page.lines.push_back({x, rows.orderNumber, fields.orderNumber});
    }
    page.barcodeX = x;
    page.barcodeTop = rows.barcodeTop;
    page.barcodeBottom = rows.barcodeBottom;
    page.barcodeText = fields.orderNumber;
    page.signature = {
        {x, rows.signature, text.signature},
        {x, rows.confirmation, text.confirmation},
    };
    return page;
}
