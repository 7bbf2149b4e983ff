#include "UpdaterRules.h"

#include <QUrl>

#include <cstdint>

namespace {

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

int portOf(const QUrl &url)
{
    return url.port(443);
}

} // namespace

namespace UpdaterRules {

std::optional<Offer> parseParameters(const QStringList &words)
{
    if (words.size() < 2)
        return std::nullopt;
    Offer offer;
    offer.url = words.last();
    offer.version = words.at(words.size() - 2);
    offer.memo = words.mid(0, words.size() - 2).join(QLatin1Char(' '));
    return offer;
}

QString sourceRefusal(const QString &url, const QString &upgradeHost)
{
    const QUrl offered(url, QUrl::StrictMode);
    const QUrl host(upgradeHost, QUrl::StrictMode);
    if (!offered.isValid() || offered.host().isEmpty())
        return QStringLiteral("下载地址无效 (not a valid address)");
    if (offered.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0)
        return QStringLiteral("下载地址不是 https (not an https address)");
    if (!offered.userInfo().isEmpty())
        return QStringLiteral("下载地址带有用户名或密码 (the address carries a user name)");
    if (!host.isValid() || host.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0)
        return QStringLiteral("配置的升级服务器不是 https 地址 (the configured upgrade host is "
                              "not https)");
    if (offered.host().compare(host.host(), Qt::CaseInsensitive) != 0
        || portOf(offered) != portOf(host))
        return QStringLiteral("下载地址不在配置的升级服务器 %1 上 (not on the configured upgrade "
                              "host)")
            .arg(host.host() + QLatin1Char(':') + QString::number(portOf(host)));
    if (offered.fileName().isEmpty())
        return QStringLiteral("下载地址没有文件名 (the address names no file)");
    return QString();
}

QString installerRefusal(std::string_view bytes)
{
    const QString notAProgram
        = QStringLiteral("下载的文件不是 Windows 程序 (not a Windows program)");
    constexpr std::size_t kPeOffsetAt = 0x3c;
    constexpr std::size_t kPeHeaderSize = 24; // signature and file header
    if (bytes.size() < kPeOffsetAt + 4 || bytes.substr(0, 2) != "MZ")
        return notAProgram;
    const std::size_t pe = littleEndian(bytes, kPeOffsetAt, 4);
    if (pe > bytes.size() || bytes.size() - pe < kPeHeaderSize
        || bytes.substr(pe, 4) != std::string_view("PE\0\0", 4))
        return notAProgram;
    const std::uint32_t machine = littleEndian(bytes, pe + 4, 2);
    const std::uint32_t characteristics = littleEndian(bytes, pe + 22, 2);
    constexpr std::uint32_t kAmd64 = 0x8664, kI386 = 0x14c;
    constexpr std::uint32_t kExecutable = 0x0002, kDll = 0x2000;
    if ((machine != kAmd64 && machine != kI386) || !(characteristics & kExecutable)
        || (characteristics & kDll))
        return notAProgram;
    // NSIS installer data begins with its first header: flags, 0xDEADBEEF, "NullsoftInst".
    static constexpr std::string_view kNsis("\xef\xbe\xad\xdeNullsoftInst", 16);
    if (bytes.find(kNsis, pe + kPeHeaderSize) == std::string_view::npos)
        return QStringLiteral("下载的文件不是 Tallyport 安装程序 (not an installer)");
    return QString();
}

} // namespace UpdaterRules
