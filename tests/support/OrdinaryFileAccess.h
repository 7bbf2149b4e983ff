#pragma once

#include <cstdint>

// File permissions as an ordinary user meets them, also when the tests run as root: while an
// object lives, the calling thread lacks the capabilities that let root read and write past
// permission bits. Tests use it to make unreadable files and read-only directories real.
class OrdinaryFileAccess final
{
public:
    OrdinaryFileAccess();
    ~OrdinaryFileAccess();
    OrdinaryFileAccess(const OrdinaryFileAccess &) = delete;
    OrdinaryFileAccess &operator=(const OrdinaryFileAccess &) = delete;

    // False when the capabilities could not be dropped (the permission checks then do not
    // apply to root, and a test relying on them cannot run).
    bool isValid() const { return m_valid; }

private:
    bool m_valid = false;
    bool m_dropped = false;
    std::uint32_t m_effective[2] = {0, 0};
};
