#include "IniDocument.h"

namespace {

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Line breaks and other control characters would let a value end its line and start a
// section or key of its own; each one becomes a blank.
bool isControl(QChar c)
{
    const ushort code = c.unicode();
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029;
}

QString oneLine(const QString &value)
{
    QString line = value;
    for (QChar &c : line) {
        if (isControl(c))
            c = QLatin1Char(' ');
    }
    return line.trimmed();
}

} // namespace

IniDocument::IniDocument(const QString &text)
{
    QString body = text;
    if (body.startsWith(QChar(0xFEFF)))
        body.remove(0, 1);
    QStringList rawLines = body.split(QLatin1Char('\n'));
    if (!rawLines.isEmpty() && rawLines.last().isEmpty())
        rawLines.removeLast();

    for (QString raw : rawLines) {
        if (raw.endsWith(QLatin1Char('\r')))
            raw.chop(1);
        Line line;
        line.raw = raw;
        const QString trimmed = raw.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.indexOf(QLatin1Char(']')) > 0) {
            line.kind = Line::Kind::Section;
            line.name = trimmed.mid(1, trimmed.indexOf(QLatin1Char(']')) - 1).trimmed();
        } else if (!trimmed.startsWith(QLatin1Char(';')) && trimmed.indexOf(QLatin1Char('=')) > 0) {
            const int eq = trimmed.indexOf(QLatin1Char('='));
            line.kind = Line::Kind::Entry;
            line.name = trimmed.left(eq).trimmed();
            line.value = trimmed.mid(eq + 1).trimmed();
        }
        m_lines.append(line);
    }
}

int IniDocument::findSection(const QString &section) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Line::Kind::Section && sameName(m_lines[i].name, section))
            return i;
    }
    return -1;
}

int IniDocument::sectionEnd(int sectionLine) const
{
    int end = sectionLine + 1;
    while (end < m_lines.size() && m_lines[end].kind != Line::Kind::Section)
        ++end;
    return end;
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const
{
    const int start = findSection(section);
    if (start < 0)
        return std::nullopt;
    const int end = sectionEnd(start);
    for (int i = start + 1; i < end; ++i) {
        if (m_lines[i].kind == Line::Kind::Entry && sameName(m_lines[i].name, key))
            return m_lines[i].value;
    }
    return std::nullopt;
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    Line entry;
    entry.kind = Line::Kind::Entry;
    entry.name = key;
    entry.value = oneLine(value);
    entry.raw = key + QLatin1Char('=') + entry.value;

    const int start = findSection(section);
    if (start < 0) {
        Line header;
        header.kind = Line::Kind::Section;
        header.name = section;
        header.raw = QLatin1Char('[') + section + QLatin1Char(']');
        m_lines.append(header);
        m_lines.append(entry);
        return;
    }

    const int end = sectionEnd(start);
    int lastContent = start;
    for (int i = start + 1; i < end; ++i) {
        if (m_lines[i].kind == Line::Kind::Entry && sameName(m_lines[i].name, key)) {
            entry.name = m_lines[i].name;
            entry.raw = entry.name + QLatin1Char('=') + entry.value;
            m_lines[i] = entry;
            return;
        }
        if (!m_lines[i].raw.trimmed().isEmpty())
            lastContent = i;
    }
    m_lines.insert(lastContent + 1, entry);
}

QString IniDocument::toText() const
{
    QString text;
    for (const Line &line : m_lines) {
        text += line.raw;
        text += QLatin1String("\r\n");
    }
    return text;
}
