#include "DailyQueryTexts.h"

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

} // namespace DailyQueryTexts
