#pragma once

#include <QString>
#include <QStringList>

// The daily summary's texts by language number (1 Chinese, 2 English, anything else
// Vietnamese).
namespace DailyQueryTexts {

// The four captions of grid row 0 (all payments), 2 (WeChat Pay) or 4 (Alipay).
QStringList captions(int language, int row);
QString printButton(int language);
QString closeButton(int language);
QString queryButton(int language);
QString startCaption(int language);
QString endCaption(int language);

} // namespace DailyQueryTexts
