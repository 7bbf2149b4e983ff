#include "DownloadRecord.h"

#include "System.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

DownloadRecord::DownloadRecord(QStringList arguments)
    : m_arguments(std::move(arguments))
{ }

bool DownloadRecord::appendTo(const QString &path) const
{
    const QJsonObject record {
        {QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODate)},
        {QStringLiteral("pid"), QCoreApplication::applicationPid()},
        {QStringLiteral("arguments"), QJsonArray::fromStringList(m_arguments)},
    };
    // Made owner-only before anything goes in.
    if (!QFile::exists(path) && !System::createPrivateFile(path, false))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
    return file.write(line) == line.size() && file.flush();
}

QString DownloadRecord::describe() const
{
    QString text = QStringLiteral("Tallyport 升级程序收到了 %1 个参数 (the updater was given %1 "
                                  "parameters):\n\n")
                       .arg(m_arguments.size());
    for (int i = 0; i < m_arguments.size(); ++i)
        text += QStringLiteral("%1. %2\n").arg(i + 1).arg(m_arguments.at(i));
    text += QStringLiteral("\n参数行 (parameter line): %1\n\n").arg(parameterLine());
    text += QStringLiteral("没有显示，无法询问：什么也不下载。\n"
                           "Without a display nobody can be asked: nothing is downloaded.");
    return text;
}
