#include "GlobalHotKeys.h"

#include "HotKeyTable.h"

#include <QCoreApplication>

#include <algorithm>
#include <vector>

#include <windows.h>

namespace {

UINT windowsModifiers(int modifiers)
{
    UINT mask = MOD_NOREPEAT;
    if (modifiers & HotKeyTable::kModAlt)
        mask |= MOD_ALT;
    if (modifiers & HotKeyTable::kModControl)
        mask |= MOD_CONTROL;
    return mask;
}

struct Registration
{
    int id = 0;
    UINT modifiers = 0;
    UINT virtualKey = 0;
};

} // namespace

// A message-only window of the GUI thread: WM_HOTKEY of its registrations comes to it, and the
// application's event dispatcher hands the message to the native event filter.
struct GlobalHotKeys::System
{
    HWND window = nullptr;
    std::vector<Registration> registrations;
};

GlobalHotKeys::GlobalHotKeys(QObject *parent)
    : QObject(parent)
    , m_system(std::make_unique<System>())
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application)
        return;
    m_system->window = CreateWindowExW(0, L"STATIC", L"Tallyport hot keys", 0, 0, 0, 0, 0,
        HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (m_system->window)
        application->installNativeEventFilter(this);
}

GlobalHotKeys::~GlobalHotKeys()
{
    if (!m_system->window)
        return;
    for (const Registration &registration : m_system->registrations)
        UnregisterHotKey(m_system->window, registration.id);
    DestroyWindow(m_system->window);
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeNativeEventFilter(this);
}

HotKeyResult GlobalHotKeys::registerHotKey(int id, int modifiers, int virtualKey)
{
    System &system = *m_system;
    if (!system.window)
        return HotKeyResult::NoDisplay;
    unregisterHotKey(id);
    const Registration wanted {id, windowsModifiers(modifiers), UINT(virtualKey)};
    for (const Registration &held : system.registrations) {
        if (held.modifiers == wanted.modifiers && held.virtualKey == wanted.virtualKey)
            return HotKeyResult::TakenByOwnHotKey;
    }
    if (!RegisterHotKey(system.window, id, wanted.modifiers, wanted.virtualKey)) {
        return GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED ? HotKeyResult::TakenByOtherProgram
                                                                 : HotKeyResult::Refused;
    }
    system.registrations.push_back(wanted);
    return HotKeyResult::Registered;
}

void GlobalHotKeys::unregisterHotKey(int id)
{
    std::vector<Registration> &held = m_system->registrations;
    const auto found = std::find_if(
        held.begin(), held.end(), [id](const Registration &r) { return r.id == id; });
    if (found == held.end())
        return;
    UnregisterHotKey(m_system->window, id);
    held.erase(found);
}

bool GlobalHotKeys::nativeEventFilter(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(result)
    if (eventType != "windows_generic_MSG" || m_system->registrations.empty())
        return false;
    const MSG *msg = static_cast<const MSG *>(message);
    if (msg->message != WM_HOTKEY || msg->hwnd != m_system->window)
        return false;
    emit activated(static_cast<int>(msg->wParam));
    return true;
}
