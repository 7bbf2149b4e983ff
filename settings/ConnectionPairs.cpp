#include "ConnectionPairs.h"

namespace ConnectionPairs {

std::optional<Visibility> forMode(int connMode)
{
    switch (connMode) {
    case 0:
        return Visibility {false, false};
    case 1:
        return Visibility {true, false};
    case 2:
        return Visibility {false, true};
    default:
        return std::nullopt;
    }
}

} // namespace ConnectionPairs
