#include "OrdinaryFileAccess.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kFileOverrides
    = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);

bool capabilities(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

bool setCapabilities(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
}

} // namespace

OrdinaryFileAccess::OrdinaryFileAccess()
{
    __user_cap_data_struct data[2] {};
    if (!capabilities(data))
        return;
    m_effective[0] = data[0].effective;
    m_effective[1] = data[1].effective;
    if ((data[0].effective & kFileOverrides) == 0) {
        m_valid = true; // an ordinary user already
        return;
    }
    data[0].effective &= ~kFileOverrides;
    m_dropped = setCapabilities(data);
    m_valid = m_dropped;
}

OrdinaryFileAccess::~OrdinaryFileAccess()
{
    if (!m_dropped)
        return;
    __user_cap_data_struct data[2] {};
    if (!capabilities(data))
        return;
    data[0].effective = m_effective[0];
    data[1].effective = m_effective[1];
    setCapabilities(data);
}
