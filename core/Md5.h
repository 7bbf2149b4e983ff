#pragma once

#include <string>

// MD5 of a byte string, hashed and finished at construction.
class Md5 final
{
public:
    explicit Md5(const std::string &bytes);

    // 32 lower-case hexadecimal digits ("%02x" per byte).
    std::string toString() const;

private:
    std::string m_hex;
};
