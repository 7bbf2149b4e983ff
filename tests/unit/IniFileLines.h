#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Reads a configuration file the way a person checking it would: line by line, keeping the
// order, with the section each entry stands in. Used to check what a save wrote and where.
struct IniEntry
{
    QString section;
    QString key;
    QString value;

    bool operator==(const IniEntry &other) const;
};

char *toString(const IniEntry &entry); // for QCOMPARE messages

QByteArray readFileBytes(const QString &path);
bool writeFileBytes(const QString &path, const QByteArray &bytes);
// Key lines in file order; section headers and other lines are not listed.
QList<IniEntry> iniEntries(const QByteArray &bytes);
// Section headers in file order, as written.
QStringList iniSections(const QByteArray &bytes);
// True when every line break is CR LF and the text ends with one.
bool hasOnlyCrLfLineEnds(const QByteArray &bytes);
// The permission bits of a file, e.g. 0600.
int permissionBits(const QString &path);
