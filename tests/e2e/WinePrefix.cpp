#include "WinePrefix.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

WinePrefix::WinePrefix(QString display, Programs programs, QString userName)
    : m_display(std::move(display))
    , m_programs(programs)
    , m_userName(std::move(userName))
{ }

WinePrefix::~WinePrefix()
{
    if (m_started)
        run(QStringLiteral("bash"), {endScript(), m_dir.path()});
}

QString WinePrefix::endScript()
{
    return QFileInfo(qEnvironmentVariable("TALLYPORT_WINE_RUN")).absolutePath()
        + QStringLiteral("/wine-end.sh");
}

QProcessEnvironment WinePrefix::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WINEPREFIX"), m_dir.path());
    environment.insert(QStringLiteral("TALLYPORT_WINE_PREFIX"), m_dir.path());
    environment.insert(QStringLiteral("WINEARCH"), QStringLiteral("win64"));
    // Quiet, unless the run asks for channels (WINEDEBUG=warn+psdrv, ...).
    environment.insert(
        QStringLiteral("WINEDEBUG"), qEnvironmentVariable("WINEDEBUG", QStringLiteral("-all")));
    environment.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml="));
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
    // Wine names the profile after the Unix user of its first boot.
    if (!m_userName.isEmpty())
        environment.insert(QStringLiteral("USER"), m_userName);
    return environment;
}

QString WinePrefix::run(
    const QString &program, const QStringList &arguments, int *exitCode, int timeoutMs) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(timeoutMs);
    if (!ended) {
        process.kill();
        process.waitForFinished(1000);
    }
    if (exitCode)
        *exitCode = ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

bool WinePrefix::start(const QStringList &serialDevices)
{
    if (!m_dir.isValid())
        return false;
    // From here on the prefix's server ends with this process however it ends: a watcher,
    // detached and in a session of its own (out of reach of CTest's kill of a timed-out test
    // and its children), waits for this process to end and then ends the prefix.
    if (!QProcess::startDetached(QStringLiteral("setsid"),
            {QStringLiteral("bash"), QStringLiteral("-c"),
                QStringLiteral("tail --pid=\"$1\" -f /dev/null; exec bash \"$2\" \"$3\""),
                QStringLiteral("wine-guard"), QString::number(QCoreApplication::applicationPid()),
                endScript(), m_dir.path()}))
        return false;
    m_started = true;

    int code = 0;
    run(QStringLiteral("wineboot"), {QStringLiteral("-i")}, &code, 180000);
    if (code != 0)
        return false;
    // Wine's mount manager makes COM1, COM2, ... of the Ports values when the prefix's
    // services start.
    for (int i = 0; i < serialDevices.size(); ++i) {
        run(QStringLiteral("wine"),
            {QStringLiteral("reg"), QStringLiteral("add"),
                QStringLiteral("HKLM\\Software\\Wine\\Ports"), QStringLiteral("/v"),
                QStringLiteral("COM%1").arg(i + 1), QStringLiteral("/d"), serialDevices[i],
                QStringLiteral("/f")},
            &code);
        if (code != 0)
            return false;
    }
    // A shop's Windows has Arial and SimSun, TrueType both; a prefix has neither, and Wine's
    // choice for them (Noto CJK) has CFF outlines, which its PostScript driver cannot put on
    // paper. WenQuanYi Micro Hei is TrueType and has Latin and Chinese letters.
    run(QStringLiteral("wine"),
        {QStringLiteral("reg"), QStringLiteral("add"),
            QStringLiteral("HKCU\\Software\\Wine\\Fonts\\Replacements"), QStringLiteral("/v"),
            QStringLiteral("Arial"), QStringLiteral("/d"), QStringLiteral("WenQuanYi Micro Hei"),
            QStringLiteral("/f")},
        &code);
    if (code != 0)
        return false;
    run(QStringLiteral("wineserver"), {QStringLiteral("-k")});
    run(QStringLiteral("wineserver"), {QStringLiteral("-w")});
    run(QStringLiteral("wineboot"), {}, &code, 120000);
    if (code != 0)
        return false;
    if (m_programs == Programs::Installed)
        return true;
    run(QStringLiteral("bash"),
        {qEnvironmentVariable("TALLYPORT_WINE_RUN"), QStringLiteral("--prepare")}, &code);
    return code == 0;
}

bool WinePrefix::startProgram(ChildProcess &process, const QStringList &arguments,
    const QString &workingDirectory, const QProcessEnvironment &extra) const
{
    QProcessEnvironment environment = this->environment();
    environment.insert(extra);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    if (m_programs == Programs::Installed)
        process.start(QStringLiteral("wine"), arguments);
    else
        process.start(QStringLiteral("bash"),
            QStringList {qEnvironmentVariable("TALLYPORT_WINE_RUN")} + arguments);
    return process.waitForStarted(10000);
}

QString WinePrefix::registryValue(const QString &key, const QString &name) const
{
    // Exported to a file (UTF-16, whatever the value holds): `reg query` prints through the
    // console's code page, which turns a path in Chinese into question marks.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("value.reg"));
    int code = -1;
    run(QStringLiteral("wine"),
        {QStringLiteral("reg"), QStringLiteral("export"), key, QStringLiteral("Z:") + file,
            QStringLiteral("/y")},
        &code);
    QFile exported(file);
    if (code != 0 || !exported.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = exported.readAll();
    const QString text = QString::fromUtf16(
        reinterpret_cast<const char16_t *>(bytes.constData()), bytes.size() / 2);
    // "NAME"="DATA", DATA with \\ and \" escaped; the first line of the key holding it.
    const QRegularExpression line(QStringLiteral("^\"") + QRegularExpression::escape(name)
            + QStringLiteral("\"=\"((?:[^\"\\\\]|\\\\.)*)\"\\s*$"),
        QRegularExpression::MultilineOption);
    QString value = line.match(text).captured(1);
    value.replace(QStringLiteral("\\\""), QStringLiteral("\""));
    value.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    return value;
}
