#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "ChildProcess.h"
#include "HttpClient.h"
#include "LoginSession.h"

#include <string>

// Runs tallyport-sandbox ($TALLYPORT_SANDBOX) as a child process on a free port with a
// private data directory, for tests that talk to the gateway over real HTTPS.
class SandboxProcess
{
public:
    static constexpr int kStartTimeoutMs = 15000;

    explicit SandboxProcess(QStringList extraArgs = {});
    ~SandboxProcess();
    SandboxProcess(const SandboxProcess &) = delete;
    SandboxProcess &operator=(const SandboxProcess &) = delete;

    // Starts the sandbox and waits for its listening line; false (with a warning) on failure.
    bool start();
    // SIGTERM, then waits for the exit (SIGKILL after 10 s). Returns the exit code, or -1
    // when the process did not end by itself.
    int stop();
    bool isRunning() const;

    int port() const { return m_port; }
    // "https://127.0.0.1:PORT" + path
    std::string url(const std::string &path) const;
    QString caPath() const { return m_caPath; }
    QString dataDir() const;
    // The data directory of a sandbox that was started before, reused by the next start()
    // (to see what survives a restart). Must be called while stopped.
    void setDataDir(const QString &dir) { m_dataDir = dir; }
    QStringList extraArgs() const { return m_extraArgs; }
    void setExtraArgs(const QStringList &args) { m_extraArgs = args; }

    // The journal's lines, parsed (a line that is not a JSON object gives an empty object).
    QList<QJsonObject> journal() const;
    // The bodies of the journal's trade requests of `method` ("auto_pay", ...), oldest first.
    QStringList journalBodies(const QString &method) const;
    QStringList payRequests() const { return journalBodies(QStringLiteral("auto_pay")); }
    // The order number of the last order the sandbox stored, "" before the first.
    QString lastOrderNumber() const;
    // A client of this sandbox for the test's own requests: its CA, the full time-outs.
    HttpClient client() const;
    // POSTs `json` to /sandbox/faults; true when the sandbox accepted it.
    bool injectFault(const QByteArray &json);

    // Logs the demo cashier in and gives the session every signed request needs.
    bool loginDemo(LoginSession &session) const;
    // Writes TallyportConfig.ini into `directory` for a client of this sandbox: the three hosts,
    // the sandbox CA, no keyboard-hook program, then `extraLines` (CR LF line ends).
    bool writeClientConfig(const QString &directory, const QStringList &extraLines = {}) const;
    // Clients written from now on reach the sandbox through this port (a relay in front of
    // it); 0: its own port.
    void setClientPort(int port) { m_clientPort = port; }

private:
    QStringList m_extraArgs;
    QTemporaryDir m_tempDir;
    QString m_dataDir;
    ChildProcess m_process;
    int m_port = 0;
    int m_clientPort = 0;
    QString m_caPath;
};
