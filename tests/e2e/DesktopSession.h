#pragma once

#include "ChildProcess.h"

#include <QProcess>
#include <QPoint>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>

// A real X display (Xvfb) on a free display number, and the real client running on it, for
// end-to-end tests driven with xdotool.
class DesktopSession
{
public:
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    // Starts Xvfb at 1366 x 768, or at `screen` ("WIDTHxHEIGHT"); false when it does not come up.
    bool start(const QString &screen = QStringLiteral("1366x768"));
    QString display() const { return m_display; }

    // The environment a client on this display runs with: TALLYPORT_HOME, a private lock
    // directory, the xcb platform, a silent voice player.
    QProcessEnvironment clientEnvironment(const QString &home) const;
    // Starts the client under test ($TALLYPORT_CLIENT) on this display in `home`, its output
    // going to the test's own, with clientEnvironment(home) or the given environment; false when
    // it does not start.
    bool startClient(QProcess &client, const QString &home) const
    {
        return startClient(client, home, clientEnvironment(home));
    }
    bool startClient(
        QProcess &client, const QString &home, const QProcessEnvironment &environment) const;

    // Runs a command on this display and returns its standard output (empty on failure).
    QString run(const QString &program, const QStringList &arguments, int timeoutMs = 10000) const;
    // Visible top-level windows with this exact title, as "WIDTHxHEIGHT" per window id.
    QStringList visibleWindowSizes(const QString &title) const;
    // The id of the visible window with this title and size, or an empty string.
    QString windowWithSize(const QString &title, const QString &size) const;
    // Ids of the visible windows with this exact title, or class with field "--class" (a
    // docked tray icon has no plain title); where a window is on screen.
    QStringList visibleWindows(
        const QString &name, const QString &field = QStringLiteral("--name")) const;
    QRect windowGeometry(const QString &id) const;
    // Focuses a window (there is no window manager) and runs an xdotool command on it, such as
    // {"key", "Return"} or {"type", "123456"}, 40 ms between the keys.
    void input(const QString &id, const QStringList &command) const;
    // A screenshot of the whole display.
    bool screenshot(const QString &path) const;
    // A click at `at` in the window's coordinates. The pointer comes from elsewhere: a second
    // click where it already is does not reach Qt's widget.
    void click(const QString &windowId, QPoint at) const;
    // The centre of a widget of a designed form (forms/FORM.ui) in the form's coordinates,
    // which screens up to 1440 pixels wide keep; a null point when it is not there.
    static QPoint formWidgetCentre(const QString &form, const QString &objectName);

private:
    ChildProcess m_xvfb;
    QString m_display;
    QString m_lockDir;
};
