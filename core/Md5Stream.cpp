#include "Md5Stream.h"

Md5Stream::Md5Stream(const std::string &bytes)
{
    update(bytes);
}

void Md5Stream::update(const std::string &bytes)
{
    m_context.update(bytes.data(), bytes.size());
}

Md5Context::Digest Md5Stream::digest() const
{
    Md5Context copy = m_context;
    return copy.finish();
}

std::string Md5Stream::toString(int bits) const
{
    const std::string hex = Md5Context::toHex(digest());
    return bits == 16 ? hex.substr(8, 16) : hex;
}
