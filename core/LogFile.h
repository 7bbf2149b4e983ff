#pragma once

#include <memory>
#include <string>

// One log file, kept open between lines and appended to in one write a line. Before each line
// the name is looked up again: a log that was deleted or replaced since it was opened is opened
// (created) anew, so the next line lands in the file that now bears the name, as if each line
// opened it. One backend per system (core/linux, core/windows). Not thread-safe: its owner
// holds a lock.
class LogFile final
{
public:
    LogFile();
    ~LogFile();
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    // Appends `line` to the file `path` (UTF-8); 0, or EOF when the file cannot be opened or
    // written.
    int append(const std::string &path, const std::string &line);

private:
    struct System;
    std::unique_ptr<System> m_system;
};
