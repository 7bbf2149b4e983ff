#pragma once

#include "HotKeyBackend.h"

#include <array>

struct ParamSettings;

// The three global hot keys; each value is the hot key's registration id.
enum class HotKey {
    Cash = 5001, // brings up the checkout
    Receipt = 5002, // prints the last receipt again
    Report = 5003, // opens the report query
};

// What a fired hot-key id asks the settings page to do.
enum class HotKeyAction {
    NotOurs, // not one of the three ids: leave the event alone
    ShowCheckout, // emit the cash signal with MULTIWINDOW_SHOW
    ReprintReceipt, // print the last receipt again
    ReceiptNotPrinted, // receipt key while printing is off (PRINT 1): consumed, nothing printed
    ShowReport, // emit the report signal
};

// Registers the three hot keys with a backend and keeps them in step with the settings: each
// hot key remembers the key it was last given, so a change of modifier re-registers that key.
// A registration that fails leaves the hot key silent and writes one line naming the
// combination and the reason to the general run log; nothing else is reported.
class HotKeyRegistry final
{
public:
    explicit HotKeyRegistry(HotKeyBackend &backend);

    // At start: each hot key with the key index and _ALT setting of the settings.
    void registerAll(const ParamSettings &settings);
    // A hot key's combo changed: its earlier combination goes and the key at `index` is
    // registered with the modifier of `altSetting`. An index outside 0-61 registers nothing.
    HotKeyResult changeKey(HotKey hotKey, int index, int altSetting);
    // A hot key's modifier changed: its earlier combination goes and the remembered key is
    // registered with the modifier of `altSetting` (1 = Ctrl, otherwise Alt).
    HotKeyResult changeModifier(HotKey hotKey, int altSetting);

    // What a fired id means; `printSetting` is PRINT (1 = receipts are not printed).
    static HotKeyAction actionFor(int id, int printSetting);

private:
    struct Entry
    {
        int virtualKey = 0;
        int modifiers = 0;
        bool active = false;
    };

    HotKeyResult registerCombination(HotKey hotKey, int modifiers, int virtualKey);

    HotKeyBackend &m_backend;
    std::array<Entry, 3> m_entries;
};
