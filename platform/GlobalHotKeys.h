#pragma once

#include "HotKeyBackend.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <memory>

// The system-wide hot keys. On Windows a combination is RegisterHotKey on a message-only window
// of this object, and WM_HOTKEY arrives in the native event filter. On X11 a combination is a
// passive key grab on the root window, taken four times so that CapsLock and NumLock do not matter;
// a key code stands for every key of the current keyboard layout that produces its keysym unshifted
// or shifted. The grabbed key presses arrive in the application's native event filter, which this
// object installs on itself at construction and removes at destruction (after releasing its grabs,
// so that the next instance can take the same combinations). Without an X11 connection (offscreen)
// every registration fails with NoDisplay.
//
// The keypad separator (virtual key 0x6C, the key list's " Enter") is the keysym
// KP_Separator and nothing else: on a layout without that key the registration fails with
// KeyNotOnKeyboard. The keypad Enter key is a different key and does not fire it.
//
// Create and destroy it on the GUI thread while the application object exists.
class GlobalHotKeys final : public QObject, public QAbstractNativeEventFilter, public HotKeyBackend
{
    Q_OBJECT

public:
    explicit GlobalHotKeys(QObject *parent = nullptr);
    ~GlobalHotKeys() override;

    HotKeyResult registerHotKey(int id, int modifiers, int virtualKey) override;
    void unregisterHotKey(int id) override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

signals:
    // A registered combination was pressed. Emitted from inside the event filter; a receiver
    // may destroy this object.
    void activated(int id);

private:
    // The system's side: the X11 grabs here, the registered keys on Windows.
    struct System;
    std::unique_ptr<System> m_system;
};
