#include "SandboxProcess.h"

#include "HttpClient.h"
#include "LoginRequest.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QtGlobal>

SandboxProcess::SandboxProcess(QStringList extraArgs)
    : m_extraArgs(std::move(extraArgs))
{
    // stdout carries the listening line; stderr goes to the test's own output.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

SandboxProcess::~SandboxProcess()
{
    stop();
}

QString SandboxProcess::dataDir() const
{
    return m_dataDir.isEmpty() ? m_tempDir.path() : m_dataDir;
}

bool SandboxProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

bool SandboxProcess::start()
{
    const QString program = qEnvironmentVariable("TALLYPORT_SANDBOX");
    if (program.isEmpty()) {
        qWarning("SandboxProcess: TALLYPORT_SANDBOX is not set");
        return false;
    }
    if (!m_tempDir.isValid()) {
        qWarning("SandboxProcess: no temporary directory");
        return false;
    }
    if (isRunning()) {
        qWarning("SandboxProcess: already running");
        return false;
    }
    m_port = 0;
    m_caPath.clear();
    QStringList arguments {"--port", "0", "--data-dir", dataDir()};
    arguments += m_extraArgs;
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(kStartTimeoutMs)) {
        qWarning("SandboxProcess: cannot start %s: %s", qPrintable(program),
            qPrintable(m_process.errorString()));
        return false;
    }
    static const QRegularExpression listening(
        QStringLiteral("^tallyport-sandbox listening on https://127\\.0\\.0\\.1:(\\d+) ca=(.+)$"));
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired()) {
        while (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            const QRegularExpressionMatch match = listening.match(line);
            if (match.hasMatch()) {
                m_port = match.captured(1).toInt();
                m_caPath = match.captured(2);
                return true;
            }
        }
        if (m_process.state() == QProcess::NotRunning) {
            break;
        }
        m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    qWarning("SandboxProcess: no listening line from %s (exit code %d)", qPrintable(program),
        m_process.exitCode());
    stop();
    return false;
}

int SandboxProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning) {
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        qWarning("SandboxProcess: the sandbox ignored SIGTERM; killing it");
        m_process.kill();
        m_process.waitForFinished(5000);
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

std::string SandboxProcess::url(const std::string &path) const
{
    return "https://127.0.0.1:" + std::to_string(m_port) + path;
}

QList<QJsonObject> SandboxProcess::journal() const
{
    QList<QJsonObject> lines;
    QFile file(dataDir() + QStringLiteral("/journal.jsonl"));
    if (!file.open(QIODevice::ReadOnly)) {
        return lines;
    }
    const QList<QByteArray> rawLines = file.readAll().split('\n');
    for (const QByteArray &raw : rawLines) {
        if (raw.isEmpty()) {
            continue;
        }
        lines.append(QJsonDocument::fromJson(raw).object());
    }
    return lines;
}

QStringList SandboxProcess::journalBodies(const QString &method) const
{
    const QString named = QStringLiteral("\"method\":\"%1\"").arg(method);
    QStringList bodies;
    for (const QJsonObject &entry : journal()) {
        const QString body = entry.value(QStringLiteral("body")).toString();
        if (body.contains(named))
            bodies.append(body);
    }
    return bodies;
}

QString SandboxProcess::lastOrderNumber() const
{
    return QString::fromUtf8(
        ChildProcess::output(QStringLiteral("sqlite3"),
            {QStringLiteral("-readonly"), dataDir() + QStringLiteral("/sandbox.db"),
                QStringLiteral("SELECT out_trade_no FROM orders ORDER BY "
                               "rowid DESC LIMIT 1")}))
        .trimmed();
}

HttpClient SandboxProcess::client() const
{
    // The test's own requests keep the full time-out when a test shortens the till's.
    HttpClient client(m_caPath.toStdString());
    client.setTimeouts(HttpClient::kConnectTimeoutMs, HttpClient::kTotalTimeoutMs);
    return client;
}

bool SandboxProcess::injectFault(const QByteArray &json)
{
    HttpClient client = this->client();
    std::string reply;
    const int status = client.Post(url("/sandbox/faults"), json.toStdString(), reply, "json");
    if (status != 200) {
        qWarning("SandboxProcess: /sandbox/faults answered %d", status);
        return false;
    }
    const QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(reply)).object();
    if (answer.value(QStringLiteral("code")).toString() != QLatin1String("100")) {
        qWarning("SandboxProcess: fault refused: %s", reply.c_str());
        return false;
    }
    return true;
}

bool SandboxProcess::loginDemo(LoginSession &session) const
{
    HttpClient client = this->client();
    std::string reply;
    client.Post(url(LoginRequest::kPath),
        LoginRequest::body("13800000000", LoginRequest::passwordProof("123456")), reply, "json");
    return LoginRequest::decodeReply(reply, session) == LoginRequest::LoginOutcome::LoggedIn;
}

bool SandboxProcess::writeClientConfig(
    const QString &directory, const QStringList &extraLines) const
{
    const QString host
        = QStringLiteral("https://127.0.0.1:%1").arg(m_clientPort ? m_clientPort : m_port);
    QStringList lines {
        QStringLiteral("[GATEWAY_HOST]"),
        QStringLiteral("gateway_host=") + host,
        QStringLiteral("[TRADE_HOST]"),
        QStringLiteral("trade_host=") + host,
        QStringLiteral("[UPGRADE_HOST]"),
        QStringLiteral("upgrade_host=") + host,
        QStringLiteral("[CA_BUNDLE]"),
        QStringLiteral("ca_bundle=") + m_caPath,
        QStringLiteral("[adbinfo]"),
        QStringLiteral("ConnMode=9"),
    };
    lines += extraLines;
    QFile file(directory + QStringLiteral("/TallyportConfig.ini"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8()) > 0;
}
