#include "Text.h"

#include <QTextCodec>

namespace {

QTextCodec *localCodec()
{
    return QTextCodec::codecForLocale();
}

} // namespace

namespace Text {

std::string localToUtf8(const std::string &local)
{
    return fromLocal(local).toStdString();
}

std::string utf8ToLocal(const std::string &utf8)
{
    return toLocal(QString::fromStdString(utf8));
}

std::wstring utf8ToWide(const std::string &utf8)
{
    return QString::fromStdString(utf8).toStdWString();
}

std::string wideToUtf8(const std::wstring &wide)
{
    return QString::fromStdWString(wide).toStdString();
}

std::wstring localToWide(const std::string &local)
{
    return fromLocal(local).toStdWString();
}

std::string wideToLocal(const std::wstring &wide)
{
    return toLocal(QString::fromStdWString(wide));
}

QString fromLocal(const std::string &local)
{
    return localCodec()->toUnicode(local.data(), static_cast<int>(local.size()));
}

std::string toLocal(const QString &text)
{
    return localCodec()->fromUnicode(text).toStdString();
}

} // namespace Text
