#include "CupsQueue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kCupsPdfBackend = QStringLiteral("/usr/lib/cups/backend/cups-pdf");
const QString kInstancePrefix = QStringLiteral("tallyport-test-");
const QString kConfDir = QStringLiteral("/etc/cups");
constexpr int kStopTimeoutMs = 10000;
constexpr int kToolTimeoutMs = 20000;
constexpr int kPollMs = 50;

const QStringList kSbinPaths {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
    QStringLiteral("/usr/local/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/bin")};

QString findTool(const QString &name)
{
    const QString inPath = QStandardPaths::findExecutable(name);
    return inPath.isEmpty() ? QStandardPaths::findExecutable(name, kSbinPaths) : inPath;
}

QString cupsPdfPpd()
{
    for (const char *candidate : {"/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd",
             "/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd"}) {
        if (QFile::exists(QLatin1String(candidate)))
            return QLatin1String(candidate);
    }
    return QString();
}

bool writeFile(const QString &path, const QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(text.toUtf8()) >= 0;
}

// Instance configurations of helpers whose process is gone.
void removeStaleInstances()
{
    const QStringList confs = QDir(kConfDir).entryList(
        {QStringLiteral("cups-pdf-") + kInstancePrefix + QStringLiteral("*.conf")}, QDir::Files);
    static const QRegularExpression pidPart(QStringLiteral("-(\\d+)-\\d+\\.conf$"));
    for (const QString &conf : confs) {
        const QRegularExpressionMatch match = pidPart.match(conf);
        if (match.hasMatch() && !QFileInfo::exists(QStringLiteral("/proc/") + match.captured(1)))
            QFile::remove(kConfDir + QLatin1Char('/') + conf);
    }
}

bool socketAnswers(const QByteArray &socketPath)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= static_cast<int>(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, socketPath.constData(), socketPath.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected
        = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

} // namespace

CupsQueue::CupsQueue(const QString &queueName)
    : m_queueName(queueName)
    , m_hadServer(qEnvironmentVariableIsSet("CUPS_SERVER"))
    , m_oldServer(qgetenv("CUPS_SERVER"))
    , m_hadHome(qEnvironmentVariableIsSet("HOME"))
    , m_oldHome(qgetenv("HOME"))
{
    static int helperCount = 0;
    m_instance = kInstancePrefix + QString::number(QCoreApplication::applicationPid())
        + QLatin1Char('-') + QString::number(++helperCount);
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
    if (m_hadServer)
        qputenv("CUPS_SERVER", m_oldServer);
    else
        qunsetenv("CUPS_SERVER");
    if (m_hadHome)
        qputenv("HOME", m_oldHome);
    else
        qunsetenv("HOME");
}

QString CupsQueue::unavailableReason()
{
    if (::geteuid() != 0)
        return QStringLiteral("the cups-pdf backend and its configuration need root");
    if (findTool(QStringLiteral("cupsd")).isEmpty() || findTool(QStringLiteral("lpadmin")).isEmpty()
        || findTool(QStringLiteral("lpstat")).isEmpty())
        return QStringLiteral("CUPS is not installed (cups, cups-client)");
    if (!QFile::exists(kCupsPdfBackend) || cupsPdfPpd().isEmpty())
        return QStringLiteral("cups-pdf is not installed (printer-driver-cups-pdf)");
    return QString();
}

QString CupsQueue::outputDir() const
{
    return path(QStringLiteral("out"));
}

bool CupsQueue::writeConfiguration()
{
    const QString root = m_dir.path();
    for (const char *sub :
        {"etc/ppd", "spool", "cache", "state", "log", "out", "pdf-spool", "gs-tmp"}) {
        if (!QDir(root).mkpath(QLatin1String(sub)))
            return false;
    }
    const QString files = QStringLiteral("ServerRoot %1/etc\n"
                                         "StateDir %1/state\n"
                                         "CacheDir %1/cache\n"
                                         "RequestRoot %1/spool\n"
                                         "ErrorLog %1/log/error_log\n"
                                         "AccessLog %1/log/access_log\n"
                                         "PageLog %1/log/page_log\n"
                                         "Printcap %1/printcap\n"
                                         "SystemGroup root\n"
                                         "FileDevice No\n")
                              .arg(root);
    // Anyone on this machine may print and administer: the socket is in a private folder.
    // A job whose filters fail is dropped instead of stopping the queue; the records of jobs
    // are written at once.
    const QString daemon = QStringLiteral("LogLevel info\n"
                                          "Listen %1/cups.sock\n"
                                          "Browsing No\n"
                                          "WebInterface No\n"
                                          "DefaultAuthType None\n"
                                          "ErrorPolicy abort-job\n"
                                          "DirtyCleanInterval 0\n"
                                          "<Location />\n  Order allow,deny\n  Allow all\n"
                                          "</Location>\n"
                                          "<Policy default>\n  <Limit All>\n"
                                          "    Order deny,allow\n  </Limit>\n</Policy>\n")
                               .arg(root);
    // cups-pdf: every job as <title>-job_<n>.pdf in the output folder (the title is made
    // from the job's name, not always cleanly: jobName() reads the spooler's record).
    const QString instance = QStringLiteral("Out %1/out\n"
                                            "AnonDirName %1/out\n"
                                            "Spool %1/pdf-spool\n"
                                            "GSTmp %1/gs-tmp\n"
                                            "Log %1/log\n"
                                            "LogType 3\n"
                                            "TitlePref 1\n"
                                            "Label 2\n"
                                            "Grp lp\n")
                                 .arg(root);
    removeStaleInstances();
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
    const QByteArray cupsd = QFile::encodeName(findTool(QStringLiteral("cupsd")));
    const QByteArray daemonConf = QFile::encodeName(path(QStringLiteral("etc/cupsd.conf")));
    const QByteArray filesConf = QFile::encodeName(path(QStringLiteral("etc/cups-files.conf")));
    const QByteArray logPath = QFile::encodeName(path(QStringLiteral("log/cupsd.out")));
    const int logFd = ::open(logPath.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (cupsd.isEmpty() || logFd < 0 || nullFd < 0) {
        qWarning("CupsQueue: cannot start cupsd");
        if (logFd >= 0)
            ::close(logFd);
        if (nullFd >= 0)
            ::close(nullFd);
        return false;
    }
    char *const argv[] = {const_cast<char *>(cupsd.constData()), const_cast<char *>("-f"),
        const_cast<char *>("-c"), const_cast<char *>(daemonConf.constData()),
        const_cast<char *>("-s"), const_cast<char *>(filesConf.constData()), nullptr};
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls until exec. The daemon ends when this test ends,
        // however it ends; it gets its own process group so that its jobs can be ended too.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::setpgid(0, 0);
        ::dup2(nullFd, STDIN_FILENO);
        ::dup2(logFd, STDOUT_FILENO);
        ::dup2(logFd, STDERR_FILENO);
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    ::close(logFd);
    ::close(nullFd);
    if (pid < 0) {
        qWarning("CupsQueue: fork failed: %s", std::strerror(errno));
        return false;
    }
    m_pid = pid;
    if (!waitForSocket(pid, kTimeoutMs)) {
        qWarning("CupsQueue: cupsd did not answer:\n%s", errorLog().constData());
        stop();
        return false;
    }
    return true;
}

bool CupsQueue::waitForSocket(pid_t pid, int timeoutMs)
{
    const QByteArray socketPath = QFile::encodeName(path(QStringLiteral("cups.sock")));
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (socketAnswers(socketPath))
            return true;
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            m_pid = -1;
            return false;
        }
        QThread::msleep(kPollMs);
    }
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
    if (!isRunning() && !startDaemon())
        return false;
    if (!m_queueCreated) {
        if (!addQueue(m_queueName) || !setServerDefault(m_queueName))
            return false;
        m_queueCreated = true;
    }
    return true;
}

void CupsQueue::stop()
{
    if (m_pid <= 0)
        return;
    const pid_t pid = m_pid;
    m_pid = -1;
    ::kill(pid, SIGTERM);
    QDeadlineTimer deadline(kStopTimeoutMs);
    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0 && !deadline.hasExpired())
        QThread::msleep(kPollMs / 5);
    if (ended == 0) {
        qWarning("CupsQueue: cupsd ignored SIGTERM; killing it");
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    // Whatever the daemon left running in its process group (a filter of a cancelled job).
    ::killpg(pid, SIGKILL);
}

bool CupsQueue::isRunning()
{
    int status = 0;
    if (m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == m_pid)
        m_pid = -1;
    return m_pid > 0;
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
                   QStringLiteral("cups-pdf:/") + m_instance, QStringLiteral("-P"), cupsPdfPpd(),
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

bool CupsQueue::setServerDefault(const QString &name)
{
    return runTool(QStringLiteral("lpadmin"), {QStringLiteral("-d"), name}) == 0;
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
