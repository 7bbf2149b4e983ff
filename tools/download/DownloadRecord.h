#pragma once

#include <QString>
#include <QStringList>

// What the updater was asked to do, kept as one JSON line per start in Download.jsonl in the
// client's data directory:
//   {"time":"2026-12-07T10:15:00","pid":1234,"arguments":["memo words…","2.0","https://…"]}
class DownloadRecord final
{
public:
    explicit DownloadRecord(QStringList arguments);

    const QStringList &arguments() const { return m_arguments; }
    // The parameter line as the client built it: the arguments joined by single blanks.
    QString parameterLine() const { return m_arguments.join(QLatin1Char(' ')); }

    // Appends the record to `path`, creating the file owner-only. False when it cannot.
    bool appendTo(const QString &path) const;
    // The text shown to the user.
    QString describe() const;

private:
    QStringList m_arguments;
};
