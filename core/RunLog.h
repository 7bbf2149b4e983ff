#pragma once

#include <ctime>
#include <string>

// The two run logs, in the working directory unless setDirectory() names another: "tallyport.log"
// (general run log, trailer "  Kovani") and "RecordRun.log" (login log, trailer "  tallyport").
// Each line is "YYYY-MM-DD hh:mm:ss   " + the formatted message + trailer + CR LF, appended in one
// write. The file stays open between lines; a log deleted or replaced since is opened anew, so a
// deleted log is recreated by the next line. Lines are written whole under a lock, stamped under
// that lock, so each file is in time order. The format is always a literal: text from outside
// goes in as an argument. Both return 0 when the line was written, EOF when the file could not be
// opened or written. The format and the arguments are UTF-8; the line is written in the local
// code page (GBK on a Chinese Windows), whatever its arguments.
namespace RunLog {

// The source of the time stamps; tests set their own. Null restores the system clock.
using Clock = std::time_t (*)();
void setClock(Clock clock);

// Where the logs go from now on (an installed program keeps them in its data directory), as
// UTF-8; empty: the working directory.
void setDirectory(const std::string &directory);

int write(const char *format, ...) __attribute__((format(printf, 1, 2)));
int writeLogin(const char *format, ...) __attribute__((format(printf, 1, 2)));

} // namespace RunLog
