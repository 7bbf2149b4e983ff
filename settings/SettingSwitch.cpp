#include "SettingSwitch.h"

namespace {

// Qt::CheckState, which the core does not include.
constexpr int kUnchecked = 0;
constexpr int kChecked = 2;

} // namespace

namespace SettingSwitch {

std::optional<int> valueFor(int checkState, Sense sense)
{
    if (checkState != kChecked && checkState != kUnchecked)
        return std::nullopt;
    const bool checked = checkState == kChecked;
    if (sense == Sense::ZeroWhenChecked)
        return checked ? 0 : 1;
    return checked ? 1 : 0;
}

bool isChecked(int value, Sense sense)
{
    return sense == Sense::ZeroWhenChecked ? value == 0 : value != 0;
}

} // namespace SettingSwitch
