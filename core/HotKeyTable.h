#pragma once

#include <QString>
#include <QStringList>

// The keys a global hot key can use, as the three hot-key combos of the settings page list
// them, and the modifier chosen by a hot key's _ALT setting. Keys are identified by their
// Windows virtual-key codes (the codes the configuration's indexes have always stood for); the
// platform backend maps them to the keys of the keyboard it runs on.
namespace HotKeyTable {

constexpr int kKeyCount = 62;
// Modifier flags of a registration (the values of MOD_ALT and MOD_CONTROL).
constexpr int kModAlt = 1;
constexpr int kModControl = 2;

// The 62 combo texts in index order, each beginning with a blank: " VK_F1" ... " VK_F10",
// " 0" ... " 9", " A" ... " Z", " NUMBER_0" ... " NUMBER_9", " *", " +", " Enter", " -",
// " .", " /".
QStringList keyTexts();
// The virtual-key code of a combo index; 0 (no key) for an index outside 0-61.
int virtualKey(int index);
// The modifier flags of an _ALT setting: 1 means Ctrl, any other value Alt.
int modifierFlags(int altSetting);
// The combination as the run log names it: "Ctrl+F9", "Alt+Q", "Ctrl+Num 0".
QString combinationText(int modifiers, int virtualKey);

} // namespace HotKeyTable
