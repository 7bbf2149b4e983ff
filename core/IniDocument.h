#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// An INI text as the profile functions see it: sections and keys matched without regard to
// case, "key=value" lines with the value trimmed, a written key replaced in place, a new key
// appended at the end of its section, a new section appended at the end of the text.
// Reads accept LF or CR LF and ignore a UTF-8 byte-order mark; serialising writes CR LF.
// Lines that are neither sections nor keys (comments, blanks) are kept as they are.
class IniDocument final
{
public:
    IniDocument() = default;
    explicit IniDocument(const QString &text);

    std::optional<QString> value(const QString &section, const QString &key) const;
    // Section and key names are the program's own, never outside text. The value is stored
    // on one line: every control character (CR and LF included) becomes a blank, then the
    // value is trimmed.
    void setValue(const QString &section, const QString &key, const QString &value);

    QString toText() const;

private:
    struct Line
    {
        enum class Kind { Other, Section, Entry };
        Kind kind = Kind::Other;
        QString name; // section or key name as written
        QString value; // entry value, trimmed
        QString raw; // the original line, for Other lines
    };

    int findSection(const QString &section) const;
    int sectionEnd(int sectionLine) const;

    QList<Line> m_lines;
};
