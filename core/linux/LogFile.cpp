#include "LogFile.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct LogFile::System
{
    int fd = -1;
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;

    bool stillNamed(const std::string &name) const
    {
        struct stat named = {};
        return ::stat(name.c_str(), &named) == 0 && named.st_dev == device && named.st_ino == inode;
    }

    bool open(const std::string &name)
    {
        int opened;
        do
            opened = ::open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        while (opened < 0 && errno == EINTR);
        if (opened < 0)
            return false;
        struct stat status = {};
        if (::fstat(opened, &status) != 0) {
            ::close(opened);
            return false;
        }
        fd = opened;
        path = name;
        device = status.st_dev;
        inode = status.st_ino;
        return true;
    }

    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        path.clear();
    }
};

LogFile::LogFile()
    : m_system(std::make_unique<System>())
{ }

LogFile::~LogFile()
{
    m_system->close();
}

int LogFile::append(const std::string &path, const std::string &line)
{
    System &file = *m_system;
    if (file.fd >= 0 && (path != file.path || !file.stillNamed(path)))
        file.close();
    if (file.fd < 0 && !file.open(path))
        return EOF;
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(file.fd, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            file.close();
            return EOF;
        }
        written += static_cast<std::size_t>(n);
    }
    return 0;
}
