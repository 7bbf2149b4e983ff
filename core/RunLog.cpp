#include "RunLog.h"

#include "LogFile.h"
#include "Text.h"
#include "System.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

namespace {

std::mutex &logMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::time_t systemClock()
{
    return std::time(nullptr);
}

std::atomic<RunLog::Clock> s_clock {systemClock};

// Guarded by logMutex().
std::string &logDirectory()
{
    static std::string directory;
    return directory;
}

// The format and the arguments are UTF-8 (the sources' literals, texts as the program holds
// them); the formatted line is brought to the local code page as a whole (GBK on a Chinese
// Windows), so that a line is in one encoding whatever its arguments.
std::string formatMessage(const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return std::string();
    std::string message(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(message.data(), message.size(), format, args);
    message.resize(static_cast<std::size_t>(length));
    for (const char c : message) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return Text::utf8ToLocal(message);
    }
    return message;
}

// Guarded by logMutex(). Never destroyed, so a line written while the process ends still finds
// its file; the descriptor closes with the process (and on exec).
LogFile &generalLog()
{
    static LogFile *file = new LogFile;
    return *file;
}

// Guarded by logMutex(), never destroyed.
LogFile &loginLog()
{
    static LogFile *file = new LogFile;
    return *file;
}

int writeLine(LogFile &log, const char *fileName, const char *trailer, const std::string &message)
{
    // The stamp is taken under the lock, so the lines of a file are in time order.
    std::lock_guard<std::mutex> lock(logMutex());
    const std::time_t now = s_clock.load()();
    const std::tm local = System::localTime(now);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d   ", local.tm_year + 1900,
        local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    const std::string line = stamp + message + trailer;

    const std::string &directory = logDirectory();
    const std::string path = directory.empty() ? std::string(fileName) : directory + '/' + fileName;
    return log.append(path, line);
}

} // namespace

namespace RunLog {

void setClock(Clock clock)
{
    s_clock = clock ? clock : systemClock;
}

void setDirectory(const std::string &directory)
{
    std::lock_guard<std::mutex> lock(logMutex());
    logDirectory() = directory;
}

int write(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string message = formatMessage(format, args);
    va_end(args);
    return writeLine(generalLog(), "tallyport.log", "  Kovani\r\n", message);
}

int writeLogin(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string message = formatMessage(format, args);
    va_end(args);
    return writeLine(loginLog(), "RecordRun.log", "  tallyport\r\n", message);
}

} // namespace RunLog
