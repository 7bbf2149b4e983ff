#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// What a Windows till keeps in its data directory, read as a support engineer would: the
// configuration, the run log (in the local code page, GBK in the Chinese locale) and the
// ledger.
class WindowsTillHome
{
public:
    explicit WindowsTillHome(QString directory = QString())
        : m_directory(std::move(directory))
    { }

    QString path() const { return m_directory; }
    QString filePath(const QString &name) const { return m_directory + QLatin1Char('/') + name; }

    QByteArray config() const;
    // Replaces each `from` of the configuration by its `to`; false when one is not there or the
    // file cannot be written.
    bool rewriteConfig(const QList<QPair<QByteArray, QByteArray>> &replacements) const;
    QString log() const;
    // The ledger's state of a payment ("paid", "pending", ...), "" when it has none.
    QString ledgerState(const QString &orderNumber) const;

private:
    QString m_directory;
};
