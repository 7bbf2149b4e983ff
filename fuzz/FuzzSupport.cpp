#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>

namespace FuzzSupport {

void require(bool holds, const char *invariant)
{
    require(holds, invariant, std::string());
}

void require(bool holds, const char *invariant, const char *detail)
{
    require(holds, invariant, std::string(detail));
}

void require(bool holds, const char *invariant, const std::string &detail)
{
    if (holds)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    if (!detail.empty())
        std::fprintf(stderr, "  %s\n", detail.c_str());
    std::fflush(stderr);
    std::abort();
}

void require(bool holds, const char *invariant, const QString &detail)
{
    if (holds)
        return;
    require(holds, invariant, detail.toStdString());
}

} // namespace FuzzSupport
