#include "DesktopSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QFile>
#include <QVector>
#include <QXmlStreamReader>

DesktopSession::DesktopSession() = default;

DesktopSession::~DesktopSession()
{
    if (m_xvfb.state() != QProcess::NotRunning) {
        m_xvfb.terminate();
        if (!m_xvfb.waitForFinished(5000)) {
            m_xvfb.kill();
            m_xvfb.waitForFinished(2000);
        }
    }
    if (!m_lockDir.isEmpty())
        QDir(m_lockDir).removeRecursively();
}

bool DesktopSession::start(const QString &screen)
{
    // -displayfd 1: Xvfb picks a free display and prints its number once it accepts clients.
    // -noreset: when the last client leaves (a client ended between two steps), the server
    // stays up instead of resetting, which would refuse the next client for a moment.
    m_xvfb.start(QStringLiteral("Xvfb"),
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
            QStringLiteral("-screen"), QStringLiteral("0"), screen + QStringLiteral("x24"),
            QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_xvfb.waitForStarted(5000))
        return false;
    QElapsedTimer clock;
    clock.start();
    QByteArray output;
    while (!output.contains('\n') && clock.elapsed() < 15000) {
        if (!m_xvfb.waitForReadyRead(500) && m_xvfb.state() == QProcess::NotRunning)
            return false;
        output += m_xvfb.readAllStandardOutput();
    }
    const QByteArray number = output.trimmed();
    if (number.isEmpty())
        return false;
    m_display = QLatin1Char(':') + QString::fromLatin1(number);
    QTemporaryDir lockDir;
    lockDir.setAutoRemove(false);
    m_lockDir = lockDir.path();
    return true;
}

QProcessEnvironment DesktopSession::clientEnvironment(const QString &home) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("TALLYPORT_HOME"), home);
    environment.insert(QStringLiteral("TALLYPORT_LOCK_DIR"), m_lockDir);
    environment.insert(QStringLiteral("TALLYPORT_PLAYER"), QStringLiteral("true"));
    return environment;
}

bool DesktopSession::startClient(
    QProcess &client, const QString &home, const QProcessEnvironment &environment) const
{
    client.setProcessEnvironment(environment);
    client.setWorkingDirectory(home);
    client.setProcessChannelMode(QProcess::ForwardedChannels);
    client.start(qEnvironmentVariable("TALLYPORT_CLIENT"), QStringList());
    return client.waitForStarted(10000);
}

QString DesktopSession::run(
    const QString &program, const QStringList &arguments, int timeoutMs) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return QString();
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QStringList DesktopSession::visibleWindows(const QString &name, const QString &field) const
{
    return run(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), field,
            QLatin1Char('^') + name + QLatin1Char('$')})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QRect DesktopSession::windowGeometry(const QString &id) const
{
    // "Window N\n  Position: X,Y (screen: 0)\n  Geometry: WxH\n"
    static const QRegularExpression pattern(
        QStringLiteral("Position: (-?\\d+),(-?\\d+).*Geometry: (\\d+)x(\\d+)"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match
        = pattern.match(run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), id}));
    if (!match.hasMatch())
        return QRect();
    return QRect(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
        match.captured(4).toInt());
}

void DesktopSession::input(const QString &id, const QStringList &command) const
{
    run(QStringLiteral("xdotool"),
        QStringList {QStringLiteral("windowfocus"), QStringLiteral("--sync"), id, command.value(0),
            QStringLiteral("--delay"), QStringLiteral("40")}
            + command.mid(1));
}

QStringList DesktopSession::visibleWindowSizes(const QString &title) const
{
    QStringList sizes;
    const QStringList ids = visibleWindows(title);
    for (const QString &id : ids) {
        const QString geometry
            = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), id});
        const int at = geometry.indexOf(QLatin1String("Geometry: "));
        if (at >= 0)
            sizes.append(id + QLatin1Char(' ')
                + geometry.mid(at + 10).section(QLatin1Char('\n'), 0, 0).trimmed());
    }
    return sizes;
}

QString DesktopSession::windowWithSize(const QString &title, const QString &size) const
{
    for (const QString &entry : visibleWindowSizes(title)) {
        if (entry.section(QLatin1Char(' '), 1) == size)
            return entry.section(QLatin1Char(' '), 0, 0);
    }
    return QString();
}

bool DesktopSession::screenshot(const QString &path) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(environment);
    process.start(
        QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    return process.waitForFinished(15000) && process.exitCode() == 0;
}

void DesktopSession::click(const QString &windowId, QPoint at) const
{
    const QPoint target = windowGeometry(windowId).topLeft() + at;
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("0"),
            QStringLiteral("0"), QStringLiteral("mousemove"), QStringLiteral("--sync"),
            QString::number(target.x()), QString::number(target.y()), QStringLiteral("click"),
            QStringLiteral("1")});
}

QPoint DesktopSession::formWidgetCentre(const QString &form, const QString &objectName)
{
    QFile file(QStringLiteral(TALLYPORT_FORMS_DIR "/") + form + QStringLiteral(".ui"));
    if (!file.open(QIODevice::ReadOnly))
        return QPoint();
    QXmlStreamReader xml(&file);
    QVector<QPair<QString, QPoint>> open; // the widgets around, with their origins in the form
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("widget")) {
            open.append({xml.attributes().value(QLatin1String("name")).toString(), QPoint()});
        } else if (xml.isEndElement() && xml.name() == QLatin1String("widget")) {
            open.removeLast();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("rect") && open.size() > 1) {
            int rect[4] = {}; // x, y, width, height
            for (int i = 0; i < 4 && xml.readNextStartElement(); ++i)
                rect[i] = xml.readElementText().toInt();
            open.last().second = open.at(open.size() - 2).second + QPoint(rect[0], rect[1]);
            if (open.last().first == objectName)
                return open.last().second + QPoint(rect[2] / 2, rect[3] / 2);
        }
    }
    return QPoint();
}
