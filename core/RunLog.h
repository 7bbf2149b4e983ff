#pragma once

#include <ctime>
#include <string>

// The two run logs, in the working directory unless setDirectory() names another: "tallyport.log"
// (general run log, trailer "  Kovani") and "RecordRun.log" (login log, trailer "  tallyport").
// Each line is "YYYY-MM-DD hh:mm:ss   " + the formatted message + trailer + CR LF, appended by its
// own open-write-close so a deleted log is recreated by the next line. Lines are written whole
// under a lock, stamped under that lock, so each file is in time order. The format is always a
// literal: text from outside goes in as an argument. Both return the result of closing the file
// (EOF when it could not be opened).
namespace RunLog {

// The source of the time stamps; tests set their own. Null restores the system clock.
using Clock = std::time_t (*)();
void setClock(Clock clock);

// Where the logs go from now on (an installed program keeps them in its data directory);
// empty: the working directory.
void setDirectory(const std::string &directory);

int write(const char *format, ...) __attribute__((format(printf, 1, 2)));
int writeLogin(const char *format, ...) __attribute__((format(printf, 1, 2)));

} // namespace RunLog
