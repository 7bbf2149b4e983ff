#include "GlobalHotKeys.h"

#include "HotKeyTable.h"

#include <QCoreApplication>
#include <QX11Info>

#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

constexpr std::uint8_t kBadAccess = 10;

// A grab is taken with each of these added, so that CapsLock (Lock) and NumLock (Mod2 on
// every common keymap) do not matter.
constexpr std::uint16_t kLockVariants[]
    = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
// The modifiers that tell one combination from another: all but the locks.
constexpr std::uint16_t kSignificantModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL
    | XCB_MOD_MASK_1 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;

// The keypad signs from VK_MULTIPLY (0x6A) to VK_DIVIDE (0x6F).
constexpr xcb_keysym_t kKeypadSigns[]
    = {XK_KP_Multiply, XK_KP_Add, XK_KP_Separator, XK_KP_Subtract, XK_KP_Decimal, XK_KP_Divide};

struct FreeDeleter
{
    void operator()(void *pointer) const { std::free(pointer); }
};
template<typename T>
using XcbPointer = std::unique_ptr<T, FreeDeleter>;

std::uint16_t xModifiers(int modifiers)
{
    std::uint16_t mask = 0;
    if (modifiers & HotKeyTable::kModAlt)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & HotKeyTable::kModControl)
        mask |= XCB_MOD_MASK_CONTROL;
    return mask;
}

// The keysyms a virtual-key code of the key list stands for (a letter in both cases).
std::vector<xcb_keysym_t> keysymsOf(int virtualKey)
{
    if (virtualKey >= 0x70 && virtualKey <= 0x79)
        return {static_cast<xcb_keysym_t>(XK_F1 + virtualKey - 0x70)};
    if (virtualKey >= '0' && virtualKey <= '9')
        return {static_cast<xcb_keysym_t>(XK_0 + virtualKey - '0')};
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return {static_cast<xcb_keysym_t>(XK_a + virtualKey - 'A'),
            static_cast<xcb_keysym_t>(XK_A + virtualKey - 'A')};
    if (virtualKey >= 0x60 && virtualKey <= 0x69)
        return {static_cast<xcb_keysym_t>(XK_KP_0 + virtualKey - 0x60)};
    if (virtualKey >= 0x6A && virtualKey <= 0x6F)
        return {kKeypadSigns[virtualKey - 0x6A]};
    return {};
}

struct Grab
{
    int id = 0;
    std::uint16_t modifiers = 0; // X modifier mask, without the lock modifiers
    std::vector<std::uint8_t> keycodes;
};

bool sharesKeycode(const std::vector<std::uint8_t> &a, const std::vector<std::uint8_t> &b)
{
    return std::any_of(a.begin(), a.end(),
        [&b](std::uint8_t code) { return std::find(b.begin(), b.end(), code) != b.end(); });
}

} // namespace

struct GlobalHotKeys::System
{
    xcb_connection_t *connection = nullptr;
    std::uint32_t root = 0;
    std::vector<Grab> grabs;

    std::vector<std::uint8_t> keycodesFor(int virtualKey) const;
    HotKeyResult grab(const Grab &grab);
    void ungrab(const Grab &grab);
};

GlobalHotKeys::GlobalHotKeys(QObject *parent)
    : QObject(parent)
    , m_system(std::make_unique<System>())
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || !QX11Info::isPlatformX11() || !QX11Info::connection())
        return;
    m_system->connection = QX11Info::connection();
    m_system->root = QX11Info::appRootWindow();
    application->installNativeEventFilter(this);
}

GlobalHotKeys::~GlobalHotKeys()
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application)
        return; // the connection has gone with the application, and the grabs with it
    if (m_system->connection) {
        for (const Grab &grab : m_system->grabs)
            m_system->ungrab(grab);
        xcb_flush(m_system->connection);
    }
    application->removeNativeEventFilter(this);
}

HotKeyResult GlobalHotKeys::registerHotKey(int id, int modifiers, int virtualKey)
{
    System &system = *m_system;
    if (!system.connection)
        return HotKeyResult::NoDisplay;
    unregisterHotKey(id);
    Grab wanted {id, xModifiers(modifiers), system.keycodesFor(virtualKey)};
    if (wanted.keycodes.empty())
        return HotKeyResult::KeyNotOnKeyboard;
    // The server lets a client grab a combination it already holds; two of our ids would then
    // share one grab, so refuse it here.
    for (const Grab &held : system.grabs) {
        if (held.modifiers == wanted.modifiers && sharesKeycode(held.keycodes, wanted.keycodes))
            return HotKeyResult::TakenByOwnHotKey;
    }
    const HotKeyResult result = system.grab(wanted);
    if (result == HotKeyResult::Registered)
        system.grabs.push_back(std::move(wanted));
    return result;
}

void GlobalHotKeys::unregisterHotKey(int id)
{
    std::vector<Grab> &grabs = m_system->grabs;
    const auto held = std::find_if(
        grabs.begin(), grabs.end(), [id](const Grab &grab) { return grab.id == id; });
    if (held == grabs.end())
        return;
    m_system->ungrab(*held);
    xcb_flush(m_system->connection);
    grabs.erase(held);
}

bool GlobalHotKeys::nativeEventFilter(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(result)
    if (m_system->grabs.empty() || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const std::uint8_t type = event->response_type & ~0x80;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    // Key press and release events share one layout.
    const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
    const std::uint16_t modifiers = key->state & kSignificantModifiers;
    for (const Grab &grab : m_system->grabs) {
        if (grab.modifiers != modifiers
            || std::find(grab.keycodes.begin(), grab.keycodes.end(), key->detail)
                == grab.keycodes.end())
            continue;
        // The release of a hot key is swallowed too: no window should see half a key stroke.
        if (type == XCB_KEY_PRESS)
            emit activated(grab.id);
        return true;
    }
    return false;
}

std::vector<std::uint8_t> GlobalHotKeys::System::keycodesFor(int virtualKey) const
{
    const std::vector<xcb_keysym_t> keysyms = keysymsOf(virtualKey);
    if (keysyms.empty())
        return {};
    const xcb_setup_t *setup = xcb_get_setup(connection);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const XcbPointer<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        connection,
        xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr));
    if (!mapping || mapping->keysyms_per_keycode == 0)
        return {};
    const int perKeycode = mapping->keysyms_per_keycode;
    const xcb_keysym_t *table = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int length = xcb_get_keyboard_mapping_keysyms_length(mapping.get());

    // Only the first group's unshifted and shifted levels: the keys a user presses for the
    // keysym (keypad digits sit on the NumLock level of their keys, which is the second).
    std::vector<std::uint8_t> keycodes;
    for (int i = 0; i < count && (i + 1) * perKeycode <= length; ++i) {
        for (int level = 0; level < std::min(perKeycode, 2); ++level) {
            const xcb_keysym_t keysym = table[i * perKeycode + level];
            if (std::find(keysyms.begin(), keysyms.end(), keysym) != keysyms.end()) {
                keycodes.push_back(static_cast<std::uint8_t>(first + i));
                break;
            }
        }
    }
    return keycodes;
}

HotKeyResult GlobalHotKeys::System::grab(const Grab &grab)
{
    // All grabs go out at once; then every answer is collected (each must be, or its error
    // would be left behind in the connection).
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint8_t keycode : grab.keycodes) {
        for (std::uint16_t lock : kLockVariants)
            cookies.push_back(xcb_grab_key_checked(connection, 1, root, grab.modifiers | lock,
                keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    HotKeyResult result = HotKeyResult::Registered;
    for (const xcb_void_cookie_t &cookie : cookies) {
        const XcbPointer<xcb_generic_error_t> error(xcb_request_check(connection, cookie));
        if (error && result == HotKeyResult::Registered)
            result = error->error_code == kBadAccess ? HotKeyResult::TakenByOtherProgram
                                                     : HotKeyResult::Refused;
    }
    // A combination held only in part would fire with some lock states and not with others:
    // give back what was taken.
    if (result != HotKeyResult::Registered) {
        ungrab(grab);
        xcb_flush(connection);
    }
    return result;
}

void GlobalHotKeys::System::ungrab(const Grab &grab)
{
    // The server releases only this client's grabs, so variants another client holds stay its.
    for (std::uint8_t keycode : grab.keycodes) {
        for (std::uint16_t lock : kLockVariants)
            xcb_ungrab_key(connection, keycode, root, grab.modifiers | lock);
    }
}
