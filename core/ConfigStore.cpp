#include "ConfigStore.h"

#include "AppDir.h"
#include "IniDocument.h"
#include "RunLog.h"
#include "System.h"
#include "Text.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace {

constexpr int kWideReadLimit = 259; // a 260-character buffer with its terminator
constexpr std::size_t kNarrowReadLimit = 59; // a 60-byte buffer with its terminator

IniDocument decode(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return IniDocument(QString::fromUtf8(bytes.mid(3)));
    return IniDocument(Text::fromLocal(bytes.toStdString()));
}

// The file's text, or nullopt when it exists but cannot be read. A missing file reads as an
// empty one.
std::optional<IniDocument> tryLoad(const QString &path, QString *error = nullptr)
{
    QFile file(path);
    if (!file.exists())
        return IniDocument();
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return decode(bytes);
}

// The last decoded state of each file read. The windows read their settings key by key, many
// keys per action, so a payment would otherwise read and decode the file a dozen times. A copy
// is used only while the file's stamp is unchanged, and only for a file that was last changed
// more than kSettledSeconds before it was read: time stamps are coarser than a quick succession
// of writes, so a file changed within that window is always read again.
constexpr std::time_t kSettledSeconds = 2;

struct CachedDocument
{
    System::FileStamp stamp;
    std::shared_ptr<const IniDocument> document;
};

std::mutex &cacheMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Guarded by cacheMutex().
std::map<QString, CachedDocument> &cache()
{
    static std::map<QString, CachedDocument> documents;
    return documents;
}

// For reads: a file that cannot be read gives every setting its default.
std::shared_ptr<const IniDocument> load(const QString &path)
{
    const std::optional<System::FileStamp> before = System::stampOf(path);
    if (before) {
        std::lock_guard<std::mutex> lock(cacheMutex());
        const auto found = cache().find(path);
        if (found != cache().end() && found->second.stamp == *before)
            return found->second.document;
    }
    auto document = std::make_shared<const IniDocument>(tryLoad(path).value_or(IniDocument()));
    const std::optional<System::FileStamp> after = System::stampOf(path);
    std::lock_guard<std::mutex> lock(cacheMutex());
    if (before && after && *before == *after
        && after->changedNs / 1000000000 + kSettledSeconds < std::time(nullptr)) {
        cache()[path] = {*after, document};
    } else {
        cache().erase(path);
    }
    return document;
}

void logWriteFailure(const QString &path, const QString &section, const QString &key,
    const char *what, const QString &reason)
{
    RunLog::write("配置未保存 [%s] %s: %s %s (%s)", section.toUtf8().constData(),
        key.toUtf8().constData(), what, path.toUtf8().constData(), reason.toUtf8().constData());
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
    return AppDir::dataFilePath(QStringLiteral("TallyportConfig.ini"));
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
    if (System::createPrivateFile(m_path, true))
        return true;
    const int error = errno; // kept for the caller's message
    const bool createdMeanwhile = exists();
    errno = error;
    return createdMeanwhile;
}

QString ConfigStore::readString(
    const QString &section, const QString &key, const QString &defaultValue) const
{
    QString value = load(m_path)->value(section, key).value_or(defaultValue);
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
    const std::optional<QString> value = load(m_path)->value(section, key);
    std::string bytes = value ? Text::toLocal(*value) : defaultValue;
    if (bytes.size() > kNarrowReadLimit)
        bytes.resize(kNarrowReadLimit);
    return bytes;
}

int ConfigStore::readIntA(const QString &section, const QString &key, int defaultValue) const
{
    const std::optional<QString> value = load(m_path)->value(section, key);
    if (!value)
        return defaultValue;
    return clampToInt(leadingInteger(*value).value_or(0));
}

bool ConfigStore::writeString(
    const QString &section, const QString &key, const QString &value) const
{
    if (!exists() && !createEmpty()) {
        logWriteFailure(
            m_path, section, key, "无法创建", QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    QString error;
    std::optional<IniDocument> document = tryLoad(m_path, &error);
    if (!document) {
        // Writing now would replace every other setting with this one key.
        logWriteFailure(m_path, section, key, "无法读取", error);
        return false;
    }
    document->setValue(section, key, value);

    // Atomic when the directory allows it; a file in a read-only directory is written in place.
    // Owner-only at every moment: the file holds the cashier's password.
    const std::string bytes = Text::toLocal(document->toText());
    QString why;
    if (!System::writePrivateFile(m_path, QByteArray::fromStdString(bytes), why)) {
        logWriteFailure(m_path, section, key, "无法写入", why);
        return false;
    }
    return true;
}

bool ConfigStore::writeStringA(
    const QString &section, const QString &key, const std::string &value) const
{
    return writeString(section, key, Text::fromLocal(value));
}
