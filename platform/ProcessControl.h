#pragma once

#include <QString>
#include <QStringList>

// Finding, ending and starting helper programs by name (the keyboard-hook program).
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

} // namespace ProcessControl
