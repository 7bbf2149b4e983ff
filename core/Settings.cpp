#include "Settings.h"

#include "ConfigStore.h"
#include "Text.h"

namespace {

const QString kAdbInfo = QStringLiteral("adbinfo");

std::string readLocal(const ConfigStore &store, const char *section, const char *key)
{
    return Text::toLocal(store.readString(QLatin1String(section), QLatin1String(key)));
}

int readInt(const ConfigStore &store, const char *section, const char *key)
{
    return store.readInt(QLatin1String(section), QLatin1String(key));
}

bool write(const ConfigStore &store, const char *section, const char *key, const QString &value)
{
    return store.writeString(QLatin1String(section), QLatin1String(key), value);
}

bool write(const ConfigStore &store, const char *section, const char *key, int value)
{
    return write(store, section, key, QString::number(value));
}

// A stored hot-key index replaces the built-in key only when it is 0 or more.
void takeHotkey(int &target, int stored)
{
    if (stored >= 0)
        target = stored;
}

} // namespace

LoginSettings LoginSettings::load(const ConfigStore &store)
{
    LoginSettings settings;
    if (!store.exists())
        return settings;
    settings.powerBoot = readLocal(store, "POWER_BOOT", "power_boot") == "1";
    settings.suspendWindowShow = readInt(store, "SUSPENDWINDOW_SHOW", "suspendwindow_show");
    settings.multiWindowShow = readInt(store, "MULTIWINDOW_SHOW", "multiwindow_show");
    settings.username = readLocal(store, "USERNAME", "username");
    settings.codeHead = readLocal(store, "CODEHEAD", "codeHead");
    settings.codeEnd = readLocal(store, "CODEEND", "codeEnd");
    settings.password = readLocal(store, "PASSWORD", "password");
    settings.autoLogin = readInt(store, "AUTOLOGIN", "autologin");
    settings.showWindowTime = readInt(store, "WINDOWSHOW", "showWindowTime");
    settings.connMode = store.readIntA(kAdbInfo, QStringLiteral("ConnMode"), 0);
    settings.download = readInt(store, "DOWNLOAD", "download");
    settings.note = readInt(store, "NOTE", "note");
    readInt(store, "LANGUAGE", "language"); // read, never applied
    settings.language = kLanguageChinese;
    return settings;
}

bool LoginSettings::save(const ConfigStore &store)
{
    if (!store.exists()) {
        store.createEmpty();
        return false;
    }
    if (showWindowTime == 0)
        showWindowTime = 10;
    // A write that fails has logged why; the ones after it would fail the same way.
    return write(store, "POWER_BOOT", "power_boot",
               powerBoot ? QStringLiteral("1") : QStringLiteral("0"))
        && write(store, "USERNAME", "username", Text::fromLocal(username))
        && write(store, "PASSWORD", "password", Text::fromLocal(password))
        && write(store, "CODEHEAD", "codeHead",
            codeHead.empty() ? QStringLiteral(";") : Text::fromLocal(codeHead))
        && write(store, "CODEEND", "codeEnd",
            codeEnd.empty() ? QStringLiteral("[") : Text::fromLocal(codeEnd))
        && write(store, "LANGUAGE", "language", language)
        && write(store, "DOWNLOAD", "download", download) && write(store, "NOTE", "note", note)
        && write(store, "WINDOWSHOW", "showWindowTime", showWindowTime);
}

CheckoutSettings CheckoutSettings::load(const ConfigStore &store)
{
    CheckoutSettings settings;
    if (!store.exists())
        return settings;
    readInt(store, "LANGUAGE", "language"); // read, never applied
    settings.language = kLanguageChinese;
    settings.download = readInt(store, "DOWNLOAD", "download");
    settings.automicShow = readInt(store, "AUTOMICSHOW", "automicShow");
    settings.ip = store.readStringA(kAdbInfo, QStringLiteral("IP"), "192.168.1.160");
    settings.port = store.readIntA(kAdbInfo, QStringLiteral("port"), 10000);
    settings.connMode = store.readIntA(kAdbInfo, QStringLiteral("ConnMode"), 0);
    settings.com = store.readStringA(kAdbInfo, QStringLiteral("com"), "COM7");
    return settings;
}

ParamSettings ParamSettings::load(const ConfigStore &store)
{
    ParamSettings settings;
    if (!store.exists())
        return settings;
    takeHotkey(settings.cashHotkey, readInt(store, "CASH_HOTKEY", "cash_hotkey"));
    settings.cashHotkeyAlt = readInt(store, "CASH_HOTKEY_ALT", "cash_hotkey_alt");
    takeHotkey(settings.receiptHotkey, readInt(store, "RECEIPT_HOTKEY", "receipt_hotkey"));
    settings.receiptHotkeyAlt = readInt(store, "RECEIPT_HOTKEY_ALT", "receipt_hotkey_alt");
    takeHotkey(settings.reportHotkey, readInt(store, "REPORT_HOTKEY", "report_hotkey"));
    settings.reportHotkeyAlt = readInt(store, "REPORT_HOTKEY_ALT", "report_hotkey_alt");
    settings.cashSoftware
        = store.readString(QStringLiteral("CASH_SOFTWARE"), QStringLiteral("cash_software"));
    settings.suspendWindowShow = readInt(store, "SUSPENDWINDOW_SHOW", "suspendwindow_show");
    settings.multiWindowShow = readInt(store, "MULTIWINDOW_SHOW", "multiwindow_show");
    settings.printCount = readInt(store, "PRINTCOUNT", "printcount");
    settings.collectMethod
        = store.readString(QStringLiteral("COLLECTMETHOD"), QStringLiteral("collectmethod"));
    settings.guestShow = store.readString(QStringLiteral("GUESTSHOW"), QStringLiteral("guestshow"));
    settings.printWidth = readInt(store, "PRINTWIDTH", "printwidth");
    settings.print = readInt(store, "PRINT", "print");
    settings.automicShow = readInt(store, "AUTOMICSHOW", "automicShow");
    settings.autoLogin = readInt(store, "AUTOLOGIN", "autologin");
    readInt(store, "LANGUAGE", "language"); // read, never applied
    settings.language = kLanguageChinese;
    return settings;
}

bool ParamSettings::save(const ConfigStore &store) const
{
    // A width the page does not offer stays as the file has it until the cashier chooses one.
    const bool offeredWidth = paperWidth(printWidth) == printWidth;
    store.createEmpty();
    return write(store, "CASH_HOTKEY", "cash_hotkey", cashHotkey)
        && write(store, "CASH_HOTKEY_ALT", "cash_hotkey_alt", cashHotkeyAlt)
        && write(store, "RECEIPT_HOTKEY", "receipt_hotkey", receiptHotkey)
        && write(store, "RECEIPT_HOTKEY_ALT", "receipt_hotkey_alt", receiptHotkeyAlt)
        && write(store, "REPORT_HOTKEY", "report_hotkey", reportHotkey)
        && write(store, "REPORT_HOTKEY_ALT", "report_hotkey_alt", reportHotkeyAlt)
        && write(store, "CASH_SOFTWARE", "cash_software", cashSoftware)
        && write(store, "SUSPENDWINDOW_SHOW", "suspendwindow_show", suspendWindowShow)
        && write(store, "MULTIWINDOW_SHOW", "multiwindow_show", multiWindowShow)
        && write(store, "PRINTCOUNT", "printcount", printCount)
        && write(store, "COLLECTMETHOD", "collectmethod", collectMethod)
        && write(store, "GUESTSHOW", "guestshow", guestShow)
        && (!offeredWidth || write(store, "PRINTWIDTH", "printwidth", printWidth))
        && write(store, "PRINT", "print", print)
        && write(store, "AUTOMICSHOW", "automicShow", automicShow)
        && write(store, "AUTOLOGIN", "autologin", autoLogin);
}

bool ParamSettings::saveCom(const ConfigStore &store, const std::string &com)
{
    return store.exists() && store.writeStringA(kAdbInfo, QStringLiteral("com"), com);
}

bool ParamSettings::saveIp(const ConfigStore &store, const std::string &ip)
{
    return store.exists() && store.writeStringA(kAdbInfo, QStringLiteral("IP"), ip);
}

bool ParamSettings::saveConnMode(const ConfigStore &store, int connMode)
{
    return store.exists()
        && store.writeStringA(kAdbInfo, QStringLiteral("ConnMode"), std::to_string(connMode));
}

bool UpgradeOffer::save(const ConfigStore &store) const
{
    if (!store.exists()) {
        store.createEmpty();
        return false;
    }
    return write(store, "VERSION", "version", version) && write(store, "MEMO", "MEMO", memo)
        && write(store, "URL", "URL", url)
        && write(store, "NOW_VERSION", "now_version", QStringLiteral("1"));
}
