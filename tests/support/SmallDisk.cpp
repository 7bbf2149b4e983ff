#include "SmallDisk.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

const QString kFiller = QStringLiteral(".filler");

} // namespace

SmallDisk::SmallDisk(const QString &directory, int kib)
    : m_directory(directory)
{
    if (!unavailableReason().isEmpty() || !QDir().mkpath(directory))
        return;
    const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0755";
    m_mounted = ::mount("tmpfs", QFile::encodeName(directory).constData(), "tmpfs",
                    MS_NOSUID | MS_NODEV, options.constData())
        == 0;
}

SmallDisk::~SmallDisk()
{
    if (!m_mounted)
        return;
    // Lazily, so that a file still open (a till killed a moment ago) does not keep it mounted.
    ::umount2(QFile::encodeName(m_directory).constData(), MNT_DETACH);
    QDir().rmdir(m_directory);
}

QString SmallDisk::unavailableReason()
{
    if (::geteuid() != 0)
        return QStringLiteral("a small file system of its own needs root (mount -t tmpfs)");
    return QString();
}

bool SmallDisk::fill()
{
    const int fd = ::open(QFile::encodeName(filePath(kFiller)).constData(),
        O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const QByteArray block(4096, 'x');
    bool full = false;
    for (int written = 0; !full && written < 1 << 20; ++written) {
        if (::write(fd, block.constData(), std::size_t(block.size())) < 0)
            full = errno == ENOSPC;
    }
    // Whatever is left below a block.
    while (full && ::write(fd, block.constData(), 1) == 1) { }
    ::close(fd);
    return full;
}

void SmallDisk::makeRoom()
{
    QFile::remove(filePath(kFiller));
}
