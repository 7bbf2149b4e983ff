#pragma once

#include <QString>

// A file system of its own that fills up, as a counter PC's disk does: a tmpfs of a few hundred
// KiB mounted on a directory for the life of the object (mounting needs root). fill() takes
// every free byte with a filler file, makeRoom() removes it.
class SmallDisk
{
public:
    explicit SmallDisk(const QString &directory, int kib = 256);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    // Why a small disk cannot be made here; empty when it can.
    static QString unavailableReason();

    bool isValid() const { return m_mounted; }
    QString path() const { return m_directory; }
    QString filePath(const QString &name) const { return m_directory + '/' + name; }
    // True once a write found no room left.
    bool fill();
    void makeRoom();

private:
    QString m_directory;
    bool m_mounted = false;
};
