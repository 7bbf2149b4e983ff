#include "ChildProcess.h"

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

void ChildProcess::setupChildProcess()
{
    // Runs in the child between fork and exec.
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) // the test already died before the line above
        ::_exit(1);
}
