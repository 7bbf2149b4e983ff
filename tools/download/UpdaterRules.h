#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <string_view>

// What the updater checks before it fetches or runs anything. The parameters, the offered
// address and the fetched file all come from the network.
namespace UpdaterRules {

struct Offer
{
    QString memo;
    QString version;
    QString url;
};

// The parameter line as the till builds it: the memo's words, then the version, then the url,
// joined by single blanks and not quoted. The last two words are the version and the url; the
// words before them are the memo (which may be empty). Nullopt for fewer than two words.
std::optional<Offer> parseParameters(const QStringList &words);

// Why `url` may not be fetched, or an empty text when it may: an https address on the
// configured upgrade host (`upgradeHost`, such as "https://update.example.com:8443"), with the
// same name and port, with neither user nor password, naming a file.
QString sourceRefusal(const QString &url, const QString &upgradeHost);

// Why `bytes` are not a Windows installer this updater runs, or an empty text when they are: a
// Windows program (an "MZ" header whose "PE" header lies within the file, for x86-64 or x86,
// an executable image and not a DLL) carrying the data of an NSIS installer, which takes /S.
QString installerRefusal(std::string_view bytes);

} // namespace UpdaterRules
