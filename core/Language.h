#pragma once

#include <QString>

// Every window carries its texts in three languages, selected by the language number:
// 1 Chinese, 2 English, any other value Vietnamese. The number in force is always 1.
namespace Language {

QString pick(int language, const char *chinese, const char *english, const char *vietnamese);

} // namespace Language
