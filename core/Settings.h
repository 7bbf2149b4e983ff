#pragma once

#include <QString>

#include <string>

class ConfigStore;

// Typed, read-only views of the configuration, one per reader, with the save procedures of
// the windows that own the keys. Defaults are those of a missing file; every reader forces
// the language to 1 (Chinese) whatever the file says.

constexpr int kLanguageChinese = 1;

// PRINTWIDTH: 1 is the 80 mm paper; 0, and any other value, the 58 mm paper. Every reader of
// the key (the settings page, the receipts, the report) lays out through paperWidth(), and
// keeps the value as stored: a width the page does not offer is never written over unless
// the cashier chooses a paper.
constexpr int kPaperWidth58mm = 0;
constexpr int kPaperWidth80mm = 1;
constexpr int paperWidth(int printWidth)
{
    return printWidth == kPaperWidth80mm ? kPaperWidth80mm : kPaperWidth58mm;
}

struct LoginSettings
{
    bool powerBoot = false;
    int suspendWindowShow = 0;
    int multiWindowShow = 0; // read, but the login window keeps its own flag at 0
    std::string username;
    std::string password;
    std::string codeHead;
    std::string codeEnd;
    int autoLogin = 0;
    int language = kLanguageChinese;
    int showWindowTime = 0;
    int download = 0;
    int note = 0;
    int connMode = 0;

    static LoginSettings load(const ConfigStore &store);
    // File missing: creates it empty and writes nothing (returns false). Otherwise writes
    // power_boot, username, password, codeHead (";" when empty), codeEnd ("[" when empty),
    // language, download, note, showWindowTime (10 when 0), in that order. Every save below
    // stops at the first write that fails (it logs why) and returns false.
    bool save(const ConfigStore &store);
};

struct CheckoutSettings
{
    int language = kLanguageChinese;
    int download = 0;
    int automicShow = 0;
    std::string ip = "192.168.1.160";
    int port = 10000;
    int connMode = 0;
    std::string com = "COM7";

    static CheckoutSettings load(const ConfigStore &store);
};

struct ParamSettings
{
    int cashHotkey = 8; // " VK_F9"
    int cashHotkeyAlt = 1;
    int receiptHotkey = 0; // " VK_F1"
    int receiptHotkeyAlt = 1;
    int reportHotkey = 5; // " VK_F6"
    int reportHotkeyAlt = 1;
    QString cashSoftware;
    int suspendWindowShow = 0;
    int multiWindowShow = 0;
    int printCount = 0;
    QString collectMethod;
    QString guestShow;
    int printWidth = kPaperWidth58mm; // as stored; paperWidth() gives the paper
    int print = 0;
    int automicShow = 0;
    int autoLogin = 0;
    int language = kLanguageChinese;

    // A missing key reads as 0 or empty; a negative hot-key index keeps the built-in key.
    static ParamSettings load(const ConfigStore &store);
    // Creates the file when missing, then writes the sixteen keys in their fixed order;
    // PRINTWIDTH only while it holds a paper the page offers (0 or 1), so a save leaves a
    // width the cashier has not chosen as the file has it.
    bool save(const ConfigStore &store) const;

    // The adbinfo keys, each written by itself and only when the file exists.
    static bool saveCom(const ConfigStore &store, const std::string &com);
    static bool saveIp(const ConfigStore &store, const std::string &ip);
    static bool saveConnMode(const ConfigStore &store, int connMode);
};

struct UpgradeOffer
{
    QString version;
    QString memo;
    QString url;

    // File missing: creates it empty and writes nothing (returns false). Otherwise writes
    // version, MEMO, URL and now_version "1", in that order.
    bool save(const ConfigStore &store) const;
};
