#pragma once

#include <QString>

#include <string>

// The dates of the order list and the daily summary: the text a date picker's line edit shows,
// by language number (1 Chinese, 2 English, anything else Vietnamese), and the digits a
// request sends.
namespace DateText {

// " 2019年7月5日", " July 5,2019", " Ngày 5 tháng 7 năm 2019": numbers without leading zeros.
QString display(int language, int year, int month, int day);
// "20190705": year, then month and day with two digits each.
std::string compact(int year, int month, int day);

} // namespace DateText
