#include "DailyQueryTexts.h"

#include "Amount.h"
#include "DateText.h"
#include "Language.h"

namespace {

QString pick(int language, const char *chinese, const char *english, const char *vietnamese)
{
    return Language::pick(language, chinese, english, vietnamese);
}

} // namespace

namespace DailyQueryTexts {

QStringList captions(int language, int row)
{
    const QString count = pick(language, "交易笔数", "transaction number", "Tổng số giao dịch");
    switch (row) {
    case 0:
        return {pick(language, "交易总额", "total trade", "Tổng tiền giao dịch"),
            pick(language, "退款总额", "total refund", "Tổng tiền hoàn trả"),
            pick(language, "实收总额", "total paid-in", "Tổng tiền thực thu"), count};
    case 2:
        return {pick(language, "微信总额", "total WeChat", "Tổng tiền WeChat"),
            pick(language, "微信退款", "WeChat refund", "Hoàn tiền Wechat"),
            pick(language, "微信实收", "WeChat paid-in", "Thực thu WeChat"), count};
    case 4:
        return {pick(language, "支付宝总额", "alipay total", "Tổng tiền Alipay"),
            pick(language, "支付宝退款", "alipay refund", "Hoàn tiền Alipay"),
            pick(language, "支付宝实收", "alipay paid-in", "Thực thu Alipay"), count};
    default:
        return {};
    }
}

QString printButton(int language)
{
    return pick(language, "结算并打印", "Print", "In và thanh toán");
}

QString closeButton(int language)
{
    return pick(language, "关闭", "Close", "Đóng");
}

QString queryButton(int language)
{
    return pick(language, "查询", "Query", "Tìm");
}

QString startCaption(int language)
{
    return pick(language, "开始时间", "Start time", "Thời gian\nbắt đầu");
}

QString endCaption(int language)
{
    return pick(language, "结束时间", "End time", "Thời gian\nkết thúc");
}

QString tillFigures(int language, const TillFigures &figures)
{
    QString own = pick(language, "本机记录：成功 %1 笔，合计 %2 元", "This till: %1 paid, total %2",
        "Máy này: %1 giao dịch thành công, tổng %2")
                      .arg(figures.paidCount)
                      .arg(figures.paidSum);
    if (figures.matched > 0) {
        own += pick(language, "；待核对 %1 笔", "; %1 to check", "; %1 cần kiểm tra")
                   .arg(figures.matched);
    }
    switch (figures.check) {
    case TillFigures::Check::Same:
        return own
            + pick(language, "；与网关一致", "; the same as the gateway's", "; khớp với cổng");
    case TillFigures::Check::NotAsked:
        return own
            + pick(language, "；与网关不一致，请点击查询核对",
                "; not the gateway's: press query to check",
                "; khác với cổng, hãy bấm Tìm để đối chiếu");
    case TillFigures::Check::Done:
        if (figures.unlisted > 0 || figures.unheld == 0) {
            own += pick(language, "；网关未列出 %1 笔", "; not in the gateway's list: %1",
                "; cổng không liệt kê: %1")
                       .arg(figures.unlisted);
        }
        if (figures.unheld > 0) {
            own += pick(language, "；网关另有 %1 笔本机无记录（可能属于其他收银台）",
                "; %1 more of the gateway's not recorded here (maybe another till's)",
                "; cổng có thêm %1 giao dịch không có trên máy này (có thể của quầy khác)")
                       .arg(figures.unheld);
        }
        return own;
    case TillFigures::Check::Running:
        return own
            + pick(language, "；正在与网关订单核对", "; checking the gateway's orders",
                "; đang đối chiếu với cổng");
    case TillFigures::Check::Unavailable:
        break;
    }
    return own
        + pick(language, "；未能取得网关订单，未核对",
            "; gateway's orders not available, not checked",
            "; không lấy được đơn của cổng, chưa đối chiếu");
}

QString unlistedRows(
    int language, const std::vector<LedgerRow> &rows, const std::vector<OrderRecord> &unheld)
{
    QStringList lines;
    if (!rows.empty()) {
        lines << pick(language, "网关未列出的本机成功支付：",
            "Paid on this till, not in the gateway's list:",
            "Đã thu trên máy này, cổng không liệt kê:");
    }
    for (const LedgerRow &row : rows) {
        lines << QStringLiteral("%1  %2  %3")
                     .arg(QString::fromStdString(row.createdAt),
                         QString::fromStdString(Amount::formatMinorUnits(row.amountMinor)),
                         QString::fromStdString(row.outTradeNo));
    }
    if (!unheld.empty()) {
        lines << pick(language, "网关的成功订单，本机无记录（可能属于其他收银台）：",
            "Paid at the gateway, not recorded on this till (maybe another till's):",
            "Đã thu trên cổng, không có trên máy này (có thể của quầy khác):");
    }
    for (const OrderRecord &order : unheld) {
        lines << QStringLiteral("%1  %2  %3")
                     .arg(QString::fromStdString(order.timeEnd),
                         QString::fromStdString(order.totalFee),
                         QString::fromStdString(order.orderNumber));
    }
    return lines.join(QLatin1Char('\n'));
}

QString tillNotRecording(int language)
{
    return pick(language, "本机交易记录未保存，无法显示本机数据",
        "This till's payment ledger is not recording", "Máy này không lưu được nhật ký giao dịch");
}

QString figuresNote(int language, bool queryRunning, const QDate &figuresStart,
    const QDate &figuresEnd, const QDate &shownStart, const QDate &shownEnd)
{
    if (queryRunning) {
        return pick(language, "正在查询，请稍候…", "Querying, please wait…",
            "Đang truy vấn, vui lòng đợi…");
    }
    if (figuresStart == shownStart && figuresEnd == shownEnd)
        return QString();
    const auto text = [language](const QDate &date) {
        return DateText::display(language, date.year(), date.month(), date.day()).trimmed();
    };
    return pick(language, "表中为%1至%2的数据，请点击查询",
        "The figures are of %1 to %2: press query", "Số liệu từ %1 đến %2, hãy bấm truy vấn")
        .arg(text(figuresStart), text(figuresEnd));
}

} // namespace DailyQueryTexts
