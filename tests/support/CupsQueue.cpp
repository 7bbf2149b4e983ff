#include "CupsQueue.h"

#include "ChildProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCupsPdfBackend = QStringLiteral("/usr/lib/cups/backend/cups-pdf");
const QString kCupsPdfPpd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
const QString kInstancePrefix = QStringLiteral("tallyport-test-");
const QString kConfDir = QStringLiteral("/etc/cups");
constexpr int kToolTimeoutMs = 20000;
constexpr int kPollMs = 50;

// cupsd in a process group of its own, so that the filters of a cancelled job end with it.
class Daemon final : public ChildProcess
{
protected:
    void setupChildProcess() override
    {
        ChildProcess::setupChildProcess();
        ::setpgid(0, 0);
    }
};

QString findTool(const QString &name)
{
    const QString inPath = QStandardPaths::findExecutable(name);
    return inPath.isEmpty() ? QStandardPaths::findExecutable(
               name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")})
                            : inPath;
}

bool writeFile(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
}

} // namespace

CupsQueue::CupsQueue(const QString &queueName)
    : m_queueName(queueName)
{
    m_instance = kInstancePrefix + QString::number(QCoreApplication::applicationPid());
    m_instanceConf = kConfDir + QStringLiteral("/cups-pdf-") + m_instance + QStringLiteral(".conf");
    if (!m_dir.isValid()) {
        qWarning("CupsQueue: no temporary directory");
        return;
    }
    // The spooler's filters run as the user lp and must reach the spool below this folder.
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    QDir(m_dir.path()).mkpath(QStringLiteral("home"));
    qputenv("CUPS_SERVER", QFile::encodeName(path(QStringLiteral("cups.sock"))));
    qputenv("HOME", QFile::encodeName(path(QStringLiteral("home"))));
}

CupsQueue::~CupsQueue()
{
    stop();
    if (m_configured)
        QFile::remove(m_instanceConf);
}

QString CupsQueue::unavailableReason()
{
    if (::geteuid() != 0)
        return QStringLiteral("the cups-pdf backend and its configuration need root");
    if (findTool(QStringLiteral("cupsd")).isEmpty() || findTool(QStringLiteral("lpadmin")).isEmpty()
        || findTool(QStringLiteral("lpstat")).isEmpty())
        return QStringLiteral("CUPS is not installed (cups, cups-client)");
    if (!QFile::exists(kCupsPdfBackend) || !QFile::exists(kCupsPdfPpd))
        return QStringLiteral("cups-pdf is not installed (printer-driver-cups-pdf)");
    return QString();
}

bool CupsQueue::writeConfiguration()
{
    const QString root = m_dir.path();
    for (const char *sub :
        {"etc/ppd", "spool", "cache", "state", "log", "out", "pdf-spool", "gs-tmp"}) {
        if (!QDir(root).mkpath(QLatin1String(sub)))
            return false;
    }
    const QString files = QStringLiteral(
        "ServerRoot %1/etc\nStateDir %1/state\nCacheDir %1/cache\nRequestRoot %1/spool\n"
        "ErrorLog %1/log/error_log\nAccessLog %1/log/access_log\nPageLog %1/log/page_log\n"
        "Printcap %1/printcap\nSystemGroup root\nFileDevice No\n")
                              .arg(root);
    // Anyone on this machine may print and administer: the socket is in a private folder.
    // A job whose filters fail is dropped instead of stopping the queue; the records of jobs
    // are written at once.
    const QString daemon = QStringLiteral(
        "LogLevel info\nListen %1/cups.sock\nBrowsing No\nWebInterface No\n"
        "DefaultAuthType None\nErrorPolicy abort-job\nDirtyCleanInterval 0\n"
        "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
        "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n")
                               .arg(root);
    // cups-pdf: every job as <title>-job_<n>.pdf in the output folder (the title is made
    // from the job's name, not always cleanly: jobName() reads the spooler's record).
    const QString instance = QStringLiteral(
        "Out %1/out\nAnonDirName %1/out\nSpool %1/pdf-spool\nGSTmp %1/gs-tmp\nLog %1/log\n"
        "LogType 3\nTitlePref 1\nLabel 2\nGrp lp\n")
                                 .arg(root);
    if (!writeFile(path(QStringLiteral("etc/cups-files.conf")), files)
        || !writeFile(path(QStringLiteral("etc/cupsd.conf")), daemon)
        || !writeFile(m_instanceConf, instance)) {
        qWarning("CupsQueue: cannot write the configuration (%s)", qPrintable(m_instanceConf));
        QFile::remove(m_instanceConf);
        return false;
    }
    m_configured = true;
    return true;
}

bool CupsQueue::startDaemon()
{
    m_daemon = std::make_unique<Daemon>();
    m_daemon->setStandardInputFile(QProcess::nullDevice());
    m_daemon->setProcessChannelMode(QProcess::MergedChannels);
    m_daemon->setStandardOutputFile(path(QStringLiteral("log/cupsd.out")), QIODevice::Append);
    m_daemon->start(findTool(QStringLiteral("cupsd")),
        {QStringLiteral("-f"), QStringLiteral("-c"), path(QStringLiteral("etc/cupsd.conf")),
            QStringLiteral("-s"), path(QStringLiteral("etc/cups-files.conf"))});
    // Up when the scheduler answers on its socket; given up when it ends or the time is up.
    QDeadlineTimer deadline(kTimeoutMs);
    if (m_daemon->waitForStarted(kTimeoutMs)) {
        QByteArray answer;
        while (!deadline.hasExpired() && !m_daemon->waitForFinished(kPollMs)) {
            if (runTool(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &answer) == 0
                && answer.startsWith("scheduler is running"))
                return true;
        }
    }
    qWarning("CupsQueue: cupsd did not answer:\n%s", errorLog().constData());
    stop();
    return false;
}

bool CupsQueue::start()
{
    if (!unavailableReason().isEmpty()) {
        qWarning("CupsQueue: %s", qPrintable(unavailableReason()));
        return false;
    }
    if (!m_dir.isValid() || (!m_configured && !writeConfiguration()))
        return false;
    if (!m_daemon && !startDaemon())
        return false;
    if (!m_queueCreated) {
        if (!addQueue(m_queueName)
            || runTool(QStringLiteral("lpadmin"), {QStringLiteral("-d"), m_queueName}) != 0)
            return false;
        m_queueCreated = true;
    }
    return true;
}

void CupsQueue::stop()
{
    if (!m_daemon)
        return;
    const qint64 pid = m_daemon->processId();
    if (pid > 0) {
        m_daemon->terminate();
        if (!m_daemon->waitForFinished(kTimeoutMs)) {
            qWarning("CupsQueue: cupsd ignored SIGTERM; killing it");
            m_daemon->kill();
            m_daemon->waitForFinished();
        }
        // Whatever the daemon left in its process group (a filter of a cancelled job).
        ::killpg(static_cast<pid_t>(pid), SIGKILL);
    }
    m_daemon.reset();
}

int CupsQueue::runTool(
    const QString &program, const QStringList &arguments, QByteArray *output) const
{
    const QString tool = findTool(program);
    if (tool.isEmpty())
        return -1;
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    const QByteArray errors = process.readAllStandardError();
    if (process.exitCode() != 0 && !errors.isEmpty())
        qWarning("CupsQueue: %s: %s", qPrintable(program), errors.trimmed().constData());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool CupsQueue::addQueue(const QString &name)
{
    // Qt sends PDF; the queue turns it into PostScript for cups-pdf with pdftocairo, which
    // keeps the text of embedded fonts extractable (Ghostscript, the default, does not).
    return runTool(QStringLiteral("lpadmin"),
               {QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                   QStringLiteral("cups-pdf:/") + m_instance, QStringLiteral("-P"), kCupsPdfPpd,
                   QStringLiteral("-o"), QStringLiteral("pdftops-renderer-default=pdftocairo")})
        == 0;
}

bool CupsQueue::removeQueue(const QString &name)
{
    if (runTool(QStringLiteral("lpadmin"), {QStringLiteral("-x"), name}) != 0)
        return false;
    if (name == m_queueName)
        m_queueCreated = false;
    return true;
}

QStringList CupsQueue::pdfFiles() const
{
    QStringList files = QDir(outputDir()).entryList({QStringLiteral("*.pdf")}, QDir::Files);
    std::sort(files.begin(), files.end(),
        [](const QString &a, const QString &b) { return jobId(a) < jobId(b); });
    return files;
}

int CupsQueue::jobId(const QString &pdfFileName)
{
    static const QRegularExpression job(QStringLiteral("job_(\\d+)\\.pdf$"));
    const QRegularExpressionMatch match = job.match(pdfFileName);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString CupsQueue::jobName(int jobId) const
{
    // The job's control file holds its IPP attributes: the value of "job-name" follows the
    // name as a two-byte big-endian length and the text.
    QFile control(path(QStringLiteral("spool/c%1").arg(jobId, 5, 10, QLatin1Char('0'))));
    if (!control.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray attributes = control.readAll();
    const QByteArray name("\x00\x08job-name", 10);
    const int at = attributes.indexOf(name);
    if (at < 0 || at + name.size() + 2 > attributes.size())
        return QString();
    const int valueAt = at + name.size() + 2;
    const int length = (static_cast<unsigned char>(attributes[valueAt - 2]) << 8)
        | static_cast<unsigned char>(attributes[valueAt - 1]);
    return QString::fromUtf8(attributes.mid(valueAt, length));
}

int CupsQueue::pendingJobs() const
{
    QByteArray output;
    if (runTool(QStringLiteral("lpstat"), {QStringLiteral("-o")}, &output) != 0)
        return -1;
    return static_cast<int>(output.trimmed().isEmpty() ? 0 : output.trimmed().count('\n') + 1);
}

bool CupsQueue::waitForPdfs(int pdfCount, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        // A job leaves the list after cups-pdf has written its file. A job that a program
        // prints on a thread of its own may not have reached the spooler yet.
        if (pdfFiles().size() >= pdfCount && pendingJobs() == 0)
            return pdfFiles().size() == pdfCount;
        QThread::msleep(kPollMs * 2);
    }
    return false;
}

QByteArray CupsQueue::errorLog() const
{
    QByteArray log;
    for (const char *name : {"log/cupsd.out", "log/error_log"}) {
        QFile file(path(QLatin1String(name)));
        if (file.open(QIODevice::ReadOnly))
            log += file.readAll().right(8000);
    }
    return log;
}

QStringList CupsQueue::scannedCodes(const QString &pdf, int dpi)
{
    QTemporaryDir pages;
    const QString prefix = pages.filePath(QStringLiteral("page"));
    ChildProcess::output(QStringLiteral("pdftoppm"),
        {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi), pdf, prefix});
    QStringList codes;
    const QStringList images = QDir(pages.path()).entryList({QStringLiteral("*.png")});
    for (const QString &image : images) {
        // A white border for the quiet zone a reader needs: a device that draws from the edge
        // of its printable area (GDI does) puts the code at the edge of the page.
        ChildProcess::output(QStringLiteral("convert"),
            {pages.filePath(image), QStringLiteral("-bordercolor"), QStringLiteral("white"),
                QStringLiteral("-border"), QStringLiteral("60"), pages.filePath(image)});
        const QByteArray found = ChildProcess::output(QStringLiteral("zbarimg"),
            {QStringLiteral("--raw"), QStringLiteral("-q"), pages.filePath(image)});
        for (const QByteArray &line : found.split('\n')) {
            if (!line.isEmpty())
                codes << QString::fromLatin1(line);
        }
    }
    std::sort(codes.begin(), codes.end());
    return codes;
}
