#include "PayTypeText.h"

#include "Language.h"

namespace {

QString alipay(int language)
{
    return Language::pick(language, "支付宝", "alipay", "alipay");
}

QString weChat(int language)
{
    return Language::pick(language, "微信", "WeChat", "WeChat");
}

QString intelligentCode(int language)
{
    return Language::pick(language, "智能扫码", "Intelligent and code", "Quét mã thông minh");
}

} // namespace

namespace PayTypeText {

QString forReceipt(const QString &code, int language)
{
    if (code == QLatin1String("ali"))
        return alipay(language);
    if (code == QLatin1String("0"))
        return intelligentCode(language);
    if (code == QLatin1String("wx"))
        return weChat(language);
    return code;
}

QString forLastReceipt(const QString &code, int language)
{
    if (code == QLatin1String("1") || code == QLatin1String("ali"))
        return alipay(language);
    if (code == QLatin1String("0"))
        return intelligentCode(language);
    if (code == QLatin1String("2") || code == QLatin1String("wx"))
        return weChat(language);
    return code;
}

} // namespace PayTypeText
