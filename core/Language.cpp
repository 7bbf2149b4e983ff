#include "Language.h"

namespace Language {

QString pick(int language, const char *chinese, const char *english, const char *vietnamese)
{
    switch (language) {
    case 1:
        return QString::fromUtf8(chinese);
    case 2:
        return QString::fromUtf8(english);
    default:
        return QString::fromUtf8(vietnamese);
    }
}

} // namespace Language
