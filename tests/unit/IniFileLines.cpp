#include "IniFileLines.h"

#include <QFile>
#include <QStringList>
#include <QTest>

#include <sys/stat.h>

bool IniEntry::operator==(const IniEntry &other) const
{
    return section == other.section && key == other.key && value == other.value;
}

char *toString(const IniEntry &entry)
{
    const QString text = QStringLiteral("[%1] %2=%3").arg(entry.section, entry.key, entry.value);
    return QTest::toString(text);
}

QByteArray readFileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

static QStringList textLines(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text.split(QLatin1Char('\n'));
}

QList<IniEntry> iniEntries(const QByteArray &bytes)
{
    QList<IniEntry> entries;
    QString section;
    for (const QString &rawLine : textLines(bytes)) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0 || line.startsWith(QLatin1Char(';')))
            continue;
        entries.append({section, line.left(equals).trimmed(), line.mid(equals + 1).trimmed()});
    }
    return entries;
}

QStringList iniSections(const QByteArray &bytes)
{
    QStringList sections;
    for (const QString &rawLine : textLines(bytes)) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            sections.append(line.mid(1, line.size() - 2).trimmed());
    }
    return sections;
}

bool hasOnlyCrLfLineEnds(const QByteArray &bytes)
{
    if (!bytes.endsWith("\r\n"))
        return false;
    for (int i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) == '\n' && (i == 0 || bytes.at(i - 1) != '\r'))
            return false;
        if (bytes.at(i) == '\r' && (i + 1 == bytes.size() || bytes.at(i + 1) != '\n'))
            return false;
    }
    return true;
}

int permissionBits(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}
