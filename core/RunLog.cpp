#include "RunLog.h"

#include <atomic>
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
    return message;
}

int writeLine(const char *fileName, const char *trailer, const std::string &message)
{
    // The stamp is taken under the lock, so the lines of a file are in time order.
    std::lock_guard<std::mutex> lock(logMutex());
    const std::time_t now = s_clock.load()();
    std::tm local {};
    localtime_r(&now, &local);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d   ", local.tm_year + 1900,
        local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    const std::string line = stamp + message + trailer;

    const std::string &directory = logDirectory();
    const std::string path = directory.empty() ? std::string(fileName) : directory + '/' + fileName;
    std::FILE *file = std::fopen(path.c_str(), "a+");
    if (!file)
        return EOF;
    std::fwrite(line.data(), 1, line.size(), file);
    return std::fclose(file);
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
    return writeLine("tallyport.log", "  Kovani\r\n", message);
}

int writeLogin(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string message = formatMessage(format, args);
    va_end(args);
    return writeLine("RecordRun.log", "  tallyport\r\n", message);
}

} // namespace RunLog
