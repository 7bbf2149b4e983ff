#pragma once

#include "ChildProcess.h"

// A child process that meets file permissions as an ordinary user does, also when the tests
// run as root: the capabilities that let root read and write past permission bits are taken
// out of its bounding set before it starts, so the program it runs cannot regain them. Like
// ChildProcess, it ends with the test.
class OrdinaryChildProcess final : public ChildProcess
{
public:
    using ChildProcess::ChildProcess;

protected:
    void setupChildProcess() override;
};
