#pragma once

#include <optional>

// The on/off settings behind the check boxes of the settings page. Some hold 0 when their box
// is checked (SUSPENDWINDOW_SHOW, MULTIWINDOW_SHOW, PRINT), the others 1 (AUTOMICSHOW,
// AUTOLOGIN).
namespace SettingSwitch {

enum class Sense {
    ZeroWhenChecked,
    OneWhenChecked,
};

// The value a check state (Qt::CheckState as an int) stores; nothing for the partially
// checked state or any other value, which leaves the setting as it is.
std::optional<int> valueFor(int checkState, Sense sense);
// Whether the box shows checked for a stored value: ZeroWhenChecked when it is 0,
// OneWhenChecked when it is not 0.
bool isChecked(int value, Sense sense);

} // namespace SettingSwitch
