#include "Md5.h"

#include "Md5Context.h"

Md5::Md5(const std::string &bytes)
{
    Md5Context context;
    context.update(bytes.data(), bytes.size());
    m_hex = Md5Context::toHex(context.finish());
}

std::string Md5::toString() const
{
    return m_hex;
}
