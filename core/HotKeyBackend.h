#pragma once

// The outcome of registering one global hot key.
enum class HotKeyResult {
    Registered,
    NoKey, // the index names no key: nothing was registered
    TakenByOtherProgram, // another program holds the combination
    TakenByOwnHotKey, // another hot key of this program holds it
    KeyNotOnKeyboard, // the keyboard layout in use has no such key
    NoDisplay, // no display server to register with (offscreen, no X11 connection)
    Refused, // the display server refused for another reason
};

// The system's global hot-key service: a combination of modifier flags (HotKeyTable::kModAlt,
// kModControl) and a Windows virtual-key code registered under an id fires that id whichever
// program has the keyboard focus. Registering an id again replaces its earlier combination;
// unregistering an id that holds nothing does nothing.
class HotKeyBackend
{
public:
    virtual ~HotKeyBackend() = default;

    virtual HotKeyResult registerHotKey(int id, int modifiers, int virtualKey) = 0;
    virtual void unregisterHotKey(int id) = 0;
};
