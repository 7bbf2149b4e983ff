#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// Finding, ending and starting helper programs by name (the keyboard-hook program), and
// opening a program with a parameter line (the updater).
namespace ProcessControl {

// True when a process of this name runs (its /proc/PID/comm, cut as the kernel cuts it).
bool isRunning(const QString &name);
// Ends every process of this name owned by us: SIGTERM, then SIGKILL for those still there
// after `graceMs`. Returns when they are gone or after the grace time and a last check;
// returns the number of processes that were signalled.
int killAll(const QString &name, int graceMs = 2000);
// Starts a program detached, in `workingDirectory`. False when it could not be started.
bool startDetached(
    const QString &program, const QStringList &arguments, const QString &workingDirectory);

// The words of a parameter line as a shell splits an unquoted line: cut at blanks, tabs and
// line breaks, empty words dropped. Nothing else is interpreted: quotes, "$", "`", ";" and
// wildcards stay part of their word.
QStringList splitParameters(const QString &parameters);
// Starts `program` with the words of `parameters`, in the caller's working directory, as a
// child that outlives this process if need be. No shell ever sees the line, so text from
// outside cannot run a command. False when the program could not be started (missing, not
// executable); nothing is reported. Call reapChildren until it returns 0.
bool openWithParameters(const QString &program, const QString &parameters);
// Collects the programs started by openWithParameters that have ended, so none stays behind
// as a defunct process; returns how many still run.
int reapChildren();

// True where a downloaded Windows installer can be started (Windows, through the updater's
// relay, tools/download/DownloadRelay.cpp); on Linux the till comes as a package, upgraded by
// the system's package manager.
bool startsInstallers();

// The words this program was started with, after its name, as the system keeps them: on
// Windows the wide command line (GetCommandLineW, split by CommandLineToArgvW), so that no
// character outside the ANSI code page is lost; on Linux `argv` in the local encoding.
QStringList ownParameters(int argc, char *argv[]);

// Starts this program again with `arguments` (the first the program's name, as it came) in
// `directory`: in place of this process where the system allows it (it does not return then),
// else as a new process (true: this one ends now). False when it could not be done.
bool startAgain(const std::vector<std::string> &arguments, const QString &directory);

} // namespace ProcessControl
