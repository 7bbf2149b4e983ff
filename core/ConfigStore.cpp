#include "ConfigStore.h"

#include "AppDir.h"
#include "IniDocument.h"
#include "Text.h"

#include <QFile>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kWideReadLimit = 259; // a 260-character buffer with its terminator
constexpr std::size_t kNarrowReadLimit = 59; // a 60-byte buffer with its terminator

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

IniDocument load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return IniDocument();
    const QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return IniDocument(QString::fromUtf8(bytes.mid(3)));
    return IniDocument(Text::fromLocal(bytes.toStdString()));
}

// The leading integer of a text the way the C conversions read it: leading blanks, an
// optional sign, digits up to the first non-digit. Saturates instead of overflowing.
std::optional<long long> leadingInteger(const QString &text)
{
    int i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    long long value = 0;
    bool any = false;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        any = true;
        if (value < 1000000000000LL)
            value = value * 10 + (text[i].unicode() - '0');
    }
    if (!any)
        return std::nullopt;
    return negative ? -value : value;
}

int clampToInt(long long value)
{
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int>(value);
}

} // namespace

ConfigStore::ConfigStore()
    : m_path(defaultPath())
{ }

ConfigStore::ConfigStore(QString path)
    : m_path(std::move(path))
{ }

QString ConfigStore::defaultPath()
{
    return AppDir::filePath(QStringLiteral("TallyportConfig.ini"));
}

bool ConfigStore::exists() const
{
    return QFile::exists(m_path);
}

bool ConfigStore::createEmpty() const
{
    if (exists())
        return true;
    // Created owner-only from the start: the file will hold the cashier's password.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return exists();
    ::close(fd);
    return true;
}

QString ConfigStore::readString(
    const QString &section, const QString &key, const QString &defaultValue) const
{
    QString value = load(m_path).value(section, key).value_or(defaultValue);
    if (value.size() > kWideReadLimit) {
        int cut = kWideReadLimit;
        if (value.at(cut - 1).isHighSurrogate())
            --cut;
        value.truncate(cut);
    }
    return value;
}

int ConfigStore::readInt(const QString &section, const QString &key) const
{
    return clampToInt(leadingInteger(readString(section, key)).value_or(0));
}

std::string ConfigStore::readStringA(
    const QString &section, const QString &key, const std::string &defaultValue) const
{
    const std::optional<QString> value = load(m_path).value(section, key);
    std::string bytes = value ? Text::toLocal(*value) : defaultValue;
    if (bytes.size() > kNarrowReadLimit)
        bytes.resize(kNarrowReadLimit);
    return bytes;
}

int ConfigStore::readIntA(const QString &section, const QString &key, int defaultValue) const
{
    const std::optional<QString> value = load(m_path).value(section, key);
    if (!value)
        return defaultValue;
    return clampToInt(leadingInteger(*value).value_or(0));
}

bool ConfigStore::writeString(
    const QString &section, const QString &key, const QString &value) const
{
    if (!exists() && !createEmpty())
        return false;
    IniDocument document = load(m_path);
    document.setValue(section, key, value);

    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const std::string bytes = Text::toLocal(document.toText());
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    file.setPermissions(kOwnerOnly);
    return file.commit();
}

bool ConfigStore::writeStringA(
    const QString &section, const QString &key, const std::string &value) const
{
    return writeString(section, key, Text::fromLocal(value));
}
