#pragma once

#include <QString>

// How a pay type code reads on paper, by the language number (1 Chinese, 2 English, any other
// value Vietnamese). Codes without a text stay as they are.
namespace PayTypeText {

// On a printed receipt: the gateway's "ali", "wx" and "0" (intelligent code).
QString forReceipt(const QString &code, int language);
// In the last receipt kept for the re-print: "1" or "ali" (Alipay), "2" or "wx" (WeChat),
// "0" (intelligent code).
QString forLastReceipt(const QString &code, int language);

} // namespace PayTypeText
