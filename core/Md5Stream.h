#pragma once

#include "Md5Context.h"

#include <string>

// A running MD5 that can be fed and digested again: the digest finishes a copy of the state.
class Md5Stream final
{
public:
    explicit Md5Stream(const std::string &bytes = std::string());

    void update(const std::string &bytes);
    Md5Context::Digest digest() const;
    // 32 lower-case hexadecimal digits, or with bits 16 the middle 16 (digits 9 to 24).
    std::string toString(int bits = 32) const;

private:
    Md5Context m_context;
};
