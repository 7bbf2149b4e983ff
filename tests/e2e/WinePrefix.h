#pragma once

#include "ChildProcess.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A Wine prefix of its own for an end-to-end run of the Windows till, on a given X display:
// made and booted by start(), its server ended and the prefix removed with the object, and
// also when the test process dies (a watcher on the Linux side ends them then), so that no
// Windows program is left running or listening.
class WinePrefix
{
public:
    // The programs it runs: those of the cross build, with the Windows prefix's DLLs and
    // plug-ins (scripts/wine-run.sh), or installed ones, with nothing but what they brought.
    enum class Programs { CrossBuild, Installed };

    // `userName`: the Windows user's name, which names the profile's folders (C:\users\张三 on a
    // Chinese counter PC); empty: the Linux user's.
    explicit WinePrefix(
        QString display, Programs programs = Programs::CrossBuild, QString userName = QString());
    ~WinePrefix();
    WinePrefix(const WinePrefix &) = delete;
    WinePrefix &operator=(const WinePrefix &) = delete;

    // Boots the prefix with serial ports COM1, COM2, ... on `serialDevices` (ptys), and sets the Qt
    // environment of scripts/wine-run.sh ($TALLYPORT_WINE_RUN); false when a step fails.
    bool start(const QStringList &serialDevices);
    QString path() const { return m_dir.path(); }

    // The environment of a program of this prefix: WINEPREFIX, TALLYPORT_WINE_PREFIX for
    // scripts/wine-run.sh, the display.
    QProcessEnvironment environment() const;
    // Starts a Windows program (through scripts/wine-run.sh for the cross build's), in
    // `workingDirectory`, its output going to the test's own.
    bool startProgram(ChildProcess &process, const QStringList &arguments,
        const QString &workingDirectory,
        const QProcessEnvironment &extra = QProcessEnvironment()) const;
    // Runs a Wine tool (reg, wineboot, wineserver) to its end: its standard output, and its
    // exit code in *exitCode.
    QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr,
        int timeoutMs = 60000) const;
    // The data of a registry value ("" when it is not there), as `reg query` prints it.
    QString registryValue(const QString &key, const QString &name) const;

private:
    QString m_display;
    Programs m_programs;
    QString m_userName;
    static QString endScript();

    QTemporaryDir m_dir;
    bool m_started = false;
};
