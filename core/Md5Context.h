#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The MD5 message digest of RFC 1321, shared by Md5 and Md5Stream.
class Md5Context final
{
public:
    using Digest = std::array<std::uint8_t, 16>;

    Md5Context();
    void update(const void *data, std::size_t length);
    Digest finish(); // pads and returns the digest; the context is then spent

    static std::string toHex(const Digest &digest); // 32 lower-case digits

private:
    void transform(const std::uint8_t block[64]);

    std::array<std::uint32_t, 4> m_state;
    std::uint64_t m_bitCount = 0;
    std::array<std::uint8_t, 64> m_buffer {};
};
