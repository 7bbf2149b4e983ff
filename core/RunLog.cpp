#include "RunLog.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// One log file, kept open between lines. Before each line the name is looked up again: a log
// that was deleted or replaced since it was opened is opened (created) anew, so the next line
// lands in the file that now bears the name, as if each line opened it.
class LogFile
{
public:
    // Appends `line` in one write; 0, or EOF when the file cannot be opened or written.
    int append(const std::string &path, const std::string &line)
    {
        if (m_fd >= 0 && (path != m_path || !stillNamed(path)))
            close();
        if (m_fd < 0 && !open(path))
            return EOF;
        std::size_t written = 0;
        while (written < line.size()) {
            const ssize_t n = ::write(m_fd, line.data() + written, line.size() - written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                close();
                return EOF;
            }
            written += static_cast<std::size_t>(n);
        }
        return 0;
    }

private:
    bool stillNamed(const std::string &path) const
    {
        struct stat named = {};
        return ::stat(path.c_str(), &named) == 0 && named.st_dev == m_device
            && named.st_ino == m_inode;
    }

    bool open(const std::string &path)
    {
        int fd;
        do
            fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        while (fd < 0 && errno == EINTR);
        if (fd < 0)
            return false;
        struct stat opened = {};
        if (::fstat(fd, &opened) != 0) {
            ::close(fd);
            return false;
        }
        m_fd = fd;
        m_path = path;
        m_device = opened.st_dev;
        m_inode = opened.st_ino;
        return true;
    }

    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_path.clear();
    }

    int m_fd = -1;
    std::string m_path;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

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
    std::tm local {};
    localtime_r(&now, &local);
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
