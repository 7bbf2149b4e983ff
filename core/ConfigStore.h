#pragma once

#include <QString>

#include <string>

// The configuration file TallyportConfig.ini with the semantics of the Windows profile
// functions. Every read sees the file as it is at that moment, as the profile functions do, so
// a value written by one window (or another program) is seen by the next read of any other; the
// decoded file is kept between reads while its stamp (inode, size, modification and change
// times) shows it unchanged. Safe to use from several threads.
class ConfigStore final
{
public:
    // The file in the data directory (the application directory unless installed, see AppDir).
    ConfigStore();
    explicit ConfigStore(QString path);

    static QString defaultPath();

    const QString &path() const { return m_path; }
    bool exists() const;
    // Creates an empty file with owner-only permissions; does nothing when it exists.
    bool createEmpty() const;

    // Reads give the defaults when the file is missing or cannot be read.
    // Wide-character read: at most 259 characters, `defaultValue` when the key is missing.
    QString readString(
        const QString &section, const QString &key, const QString &defaultValue = QString()) const;
    // readString read as an integer the way _wtoi does: leading blanks, an optional sign,
    // digits up to the first non-digit; 0 when there are none.
    int readInt(const QString &section, const QString &key) const;
    // 8-bit read in the local code page into a 60-byte buffer: at most 59 bytes.
    std::string readStringA(
        const QString &section, const QString &key, const std::string &defaultValue) const;
    // Integer read of the 8-bit functions: `defaultValue` when the key is missing,
    // the leading digits otherwise, 0 for text without digits.
    int readIntA(const QString &section, const QString &key, int defaultValue) const;

    // Writes one value, creating the file when it is missing. A file that exists but cannot
    // be read is left as it is. In a read-only directory the file is written in place.
    // Returns false, and writes a run-log line, when the value could not be stored.
    bool writeString(const QString &section, const QString &key, const QString &value) const;
    bool writeStringA(const QString &section, const QString &key, const std::string &value) const;

private:
    QString m_path;
};
