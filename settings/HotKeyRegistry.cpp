#include "HotKeyRegistry.h"

#include "HotKeyTable.h"
#include "RunLog.h"
#include "Settings.h"
#include "Text.h"

#include <string>

namespace {

constexpr std::array<HotKey, 3> kHotKeys {HotKey::Cash, HotKey::Receipt, HotKey::Report};

constexpr int idOf(HotKey hotKey)
{
    return static_cast<int>(hotKey);
}

std::size_t slotOf(HotKey hotKey)
{
    return static_cast<std::size_t>(idOf(hotKey) - idOf(HotKey::Cash));
}

const char *reasonText(HotKeyResult result)
{
    switch (result) {
    case HotKeyResult::TakenByOtherProgram:
        return "已被其他程序占用";
    case HotKeyResult::TakenByOwnHotKey:
        return "已被本程序的另一个热键占用";
    case HotKeyResult::KeyNotOnKeyboard:
        return "当前键盘布局中没有这个键";
    case HotKeyResult::NoDisplay:
        return "没有可用的显示服务器连接";
    case HotKeyResult::Refused:
    case HotKeyResult::Registered:
    case HotKeyResult::NoKey:
        break;
    }
    return "显示服务器拒绝注册";
}

} // namespace

HotKeyRegistry::HotKeyRegistry(HotKeyBackend &backend)
    : m_backend(backend)
{ }

void HotKeyRegistry::registerAll(const ParamSettings &settings)
{
    changeKey(HotKey::Cash, settings.cashHotkey, settings.cashHotkeyAlt);
    changeKey(HotKey::Receipt, settings.receiptHotkey, settings.receiptHotkeyAlt);
    changeKey(HotKey::Report, settings.reportHotkey, settings.reportHotkeyAlt);
}

HotKeyResult HotKeyRegistry::changeKey(HotKey hotKey, int index, int altSetting)
{
    const int virtualKey = HotKeyTable::virtualKey(index);
    if (virtualKey == 0)
        RunLog::write("热键未注册 (%d): 按键序号 %d 不在 0-61 之内", idOf(hotKey), index);
    return registerCombination(hotKey, HotKeyTable::modifierFlags(altSetting), virtualKey);
}

HotKeyResult HotKeyRegistry::changeModifier(HotKey hotKey, int altSetting)
{
    return registerCombination(
        hotKey, HotKeyTable::modifierFlags(altSetting), m_entries[slotOf(hotKey)].virtualKey);
}

HotKeyResult HotKeyRegistry::registerCombination(HotKey hotKey, int modifiers, int virtualKey)
{
    const int id = idOf(hotKey);
    m_backend.unregisterHotKey(id);
    Entry &entry = m_entries[slotOf(hotKey)];
    entry = {virtualKey, modifiers, false};
    if (virtualKey == 0)
        return HotKeyResult::NoKey;

    const std::string combination
        = HotKeyTable::combinationText(modifiers, virtualKey).toUtf8().toStdString();
    for (HotKey other : kHotKeys) {
        const Entry &held = m_entries[slotOf(other)];
        if (other != hotKey && held.active && held.virtualKey == virtualKey
            && held.modifiers == modifiers) {
            RunLog::write("热键注册失败 %s (%d): 已被本程序的热键 %d 占用", combination.c_str(), id,
                idOf(other));
            return HotKeyResult::TakenByOwnHotKey;
        }
    }
    const HotKeyResult result = m_backend.registerHotKey(id, modifiers, virtualKey);
    entry.active = result == HotKeyResult::Registered;
    if (!entry.active)
        RunLog::write("热键注册失败 %s (%d): %s", combination.c_str(), id, reasonText(result));
    return result;
}

HotKeyAction HotKeyRegistry::actionFor(int id, int printSetting)
{
    switch (id) {
    case idOf(HotKey::Cash):
        return HotKeyAction::ShowCheckout;
    case idOf(HotKey::Receipt):
        return printSetting == 1 ? HotKeyAction::ReceiptNotPrinted : HotKeyAction::ReprintReceipt;
    case idOf(HotKey::Report):
        return HotKeyAction::ShowReport;
    default:
        return HotKeyAction::NotOurs;
    }
}
