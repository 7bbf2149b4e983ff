#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class ChildProcess;

// A private CUPS spooler for tests that print: its own cupsd (configuration, spool, logs and a
// socket in a temporary directory) with a cups-pdf queue, the default printer, that writes
// every job as a PDF into outputDir(). From construction on, this process and the programs it
// starts reach it through CUPS_SERVER, with a private HOME for lpoptions. libcups keeps the
// server it first talked to: keep one CupsQueue per test program, stop() and start() it.
// cups-pdf reads its output folder from /etc/cups/cups-pdf-INSTANCE.conf, which the helper
// writes and removes again. Needs root, as cups-pdf does. The daemon ends with the helper, and
// with this process if it dies first.
class CupsQueue final
{
public:
    static constexpr int kTimeoutMs = 30000;

    explicit CupsQueue(const QString &queueName = QStringLiteral("TallyportPdf"));
    ~CupsQueue();
    CupsQueue(const CupsQueue &) = delete;
    CupsQueue &operator=(const CupsQueue &) = delete;

    // Empty when this machine can run the spooler, else why not (for QSKIP).
    static QString unavailableReason();

    // Starts the daemon (when it is not running) and creates the queue as the default printer
    // (when it is not there yet). False, with a warning, on failure.
    bool start();
    // Ends the daemon; its queues and jobs stay for the next start().
    void stop();

    // Another cups-pdf queue writing into the same folder.
    bool addQueue(const QString &name);
    // Removes a queue with its jobs (the default printer too: there is then none).
    bool removeQueue(const QString &name);

    QString queueName() const { return m_queueName; }
    QString outputDir() const { return path(QStringLiteral("out")); }
    // The PDFs written so far, in job order ("<title>-job_3.pdf", ...).
    QStringList pdfFiles() const;
    // The spooler's number of the job a PDF came from; 0 when the name has none.
    static int jobId(const QString &pdfFileName);
    // The name the client gave the job (from the spooler's own record of it).
    QString jobName(int jobId) const;
    // Jobs not finished yet (lpstat -o); -1 when the spooler does not answer.
    int pendingJobs() const;
    // Waits until no job is pending and `pdfCount` PDFs are there, or the time is up.
    bool waitForPdfs(int pdfCount, int timeoutMs = kTimeoutMs) const;
    // The spooler's log, for a failure message.
    QByteArray errorLog() const;
    // Every bar code zbarimg finds on the pages of a PDF rendered at `dpi`, sorted. The
    // resolution that reads best depends on the bars' width on the page.
    static QStringList scannedCodes(const QString &pdf, int dpi = 200);

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Runs a CUPS command-line tool against this spooler; the exit code, or -1.
    int runTool(
        const QString &program, const QStringList &arguments, QByteArray *output = nullptr) const;
    bool writeConfiguration();
    bool startDaemon();

    QString m_queueName;
    QString m_instance;
    QString m_instanceConf;
    QTemporaryDir m_dir;
    std::unique_ptr<ChildProcess> m_daemon;
    bool m_configured = false;
    bool m_queueCreated = false;
};
