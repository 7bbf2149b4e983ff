#include "WindowsTillHome.h"

#include "ChildProcess.h"

#include <QFile>
#include <QTextCodec>

QByteArray WindowsTillHome::config() const
{
    QFile file(filePath(QStringLiteral("TallyportConfig.ini")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WindowsTillHome::rewriteConfig(const QList<QPair<QByteArray, QByteArray>> &replacements) const
{
    QByteArray text = config();
    for (const auto &[from, to] : replacements) {
        if (!text.contains(from))
            return false;
        text.replace(from, to);
    }
    QFile file(filePath(QStringLiteral("TallyportConfig.ini")));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

QString WindowsTillHome::log() const
{
    QFile log(filePath(QStringLiteral("tallyport.log")));
    if (!log.open(QIODevice::ReadOnly))
        return QString();
    return QTextCodec::codecForName("GBK")->toUnicode(log.readAll());
}

QString WindowsTillHome::ledgerState(const QString &orderNumber) const
{
    return QString::fromUtf8(
        ChildProcess::output(QStringLiteral("sqlite3"),
            {QStringLiteral("-readonly"), filePath(QStringLiteral("ledger.db")),
                QStringLiteral("SELECT state FROM payments WHERE "
                               "out_trade_no = '%1'")
                    .arg(orderNumber)}))
        .trimmed();
}
