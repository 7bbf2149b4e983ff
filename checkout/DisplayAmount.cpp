#include "DisplayAmount.h"

namespace DisplayAmount {

std::optional<QString> extract(const QString &text)
{
    QString cleaned;
    cleaned.reserve(text.size());
    for (const QChar c : text) {
        if (!c.isSpace())
            cleaned.append(c);
    }
    const int escape = cleaned.indexOf(QChar(27));
    if (escape >= 0)
        cleaned.truncate(escape);
    bool isNumber = false;
    const double value = cleaned.toDouble(&isNumber);
    if (!isNumber || value == 0.0)
        return std::nullopt;
    return cleaned;
}

} // namespace DisplayAmount
