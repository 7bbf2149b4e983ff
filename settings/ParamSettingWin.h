#pragma once

#include "LastReceipt.h"
#include "MetaTypes.h"
#include "ReceiptPrinter.h"
#include "SerialPortList.h"
#include "Settings.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

namespace Ui {
class ParamSettingWin;
}

class DeviceLists;
class GlobalHotKeys;
class HotKeyRegistry;
class NoteWin;

// The settings page: the merchant and account of the logged-in cashier, the switches, hot
// keys, printer and input options, logout and restart. Every change is written to the
// configuration file at once. The page also prints the receipts (on the process's print queue,
// so that no payment waits for the printer and no logout waits for the spooler) and owns the
// three global hot keys. Its printer and serial-port lists are asked of the system when the page
// is first shown, off the GUI thread; their combos wait, disabled, for the answer.
class ParamSettingWin final : public QWidget
{
    Q_OBJECT

public:
    explicit ParamSettingWin(QWidget *parent = nullptr);
    ~ParamSettingWin() override;

    // Session values copied in by the login window at login.
    void setClerkTel(const std::string &tel);
    void setSessionInfo(const std::wstring &merchantName, const std::wstring &storeName,
        const std::wstring &storeManager, const std::wstring &managerPhone);

    NoteWin *noteWin() const { return m_noteWin; }
    const ParamSettings &settings() const { return m_settings; }
    // The latest pay-success receipt, for the receipt hot key.
    const LastReceipt &lastReceipt() const { return m_lastReceipt; }

    // Where receipts are printed; the system's default printer unless a test says otherwise.
    void setPrintDeviceFactory(ReceiptPrinter::DeviceFactory openDevice);
    // Waits until the print jobs handed over so far have gone to the printer.
    bool waitForPrinting(int timeoutMs) const;

signals:
    void SendDataToPayWin();
    void SendDataToPayWinHotKey(int multiWindowShow);
    void ReportSendDataToPayWinHotKey();
    void SendPrintChangedToPayWin(QString printerName);
    void stateChanged(int state);
    void SendPrintWidthToDailQuery(int width);
    void SendPrintCountToOrderQuery(int count);
    void SendToLogin();

public slots:
    void receiveDataFromMain();
    void receiveUpdateMsg();
    void OnfindExe();
    void OnYes();
    void OnNo();
    void OnStart();
    void OnCashHotKeyChanged();
    void OnCehckCashCtrl();
    void OnCheckCashAlt();
    void OnReceiptHotKeyChanged();
    void OnCheckReceiptCtrl();
    void OnCheckReceiptAlt();
    void OnReportHotKeyChecanged();
    void OnCheckReportCtrl();
    void OnCheckReportAlt();
    void OnPrintChanged();
    void OnStateChanged(int state);
    void OnStateChangedMulti(int state);
    void receiveMsgFromCheckStand(std::wstring data);
    void OnPaperCountChanged();
    void OnColloectMethodChanged();
    void OnComChanged();
    void OnGuestShowChanged();
    void OnPrintWidthChanged();
    void OnPassWordsChanged();
    void OnExitUser();
    void OnStatePDXP(int state);
    void OnStateZDDL(int state);
    void OnStateAutomicShow(int state);
    void recvivePrint(std::wstring data);
    void receivePayPrint(std::wstring data);
    void receiveNote();
    void handleTimeout();
    void OnLjmsChanged();
    void OnIPChanged();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void askDevices();
    void fillPrinters(const QStringList &printers, const QString &defaultPrinter);
    void fillSerialPorts(const QList<SerialPortList::Port> &available, const QString &com);
    void applyCaptions();
    void showConnectionPairs(int connMode);
    void styleWidgets();
    void registerHotKeys();
    void connectWidgets();
    void onHotKey(int id);
    void saveSettings();
    void showNote(int mode, const QString &title, const QString &message, const QString &yes,
        const QString &no);

    ReceiptPrinter::Party receiptParty() const;
    ReceiptPrinter::Settings printSettings() const;
    void printInBackground(const char *what, std::function<int(const ReceiptPrinter &)> print);

    std::unique_ptr<Ui::ParamSettingWin> m_ui;
    NoteWin *m_noteWin = nullptr;
    int m_language;
    ParamSettings m_settings;
    std::string m_clerkTel;
    std::wstring m_merchantName;
    std::wstring m_storeName;
    std::wstring m_storeManager;
    std::wstring m_managerPhone;
    LastReceipt m_lastReceipt;
    ReceiptPrinter::DeviceFactory m_openPrintDevice;
    QTimer m_timer;
    GlobalHotKeys *m_hotKeys = nullptr; // child object: its grabs go with this window
    std::unique_ptr<HotKeyRegistry> m_hotKeyRegistry;
    bool m_devicesAsked = false;
    std::unique_ptr<DeviceLists> m_deviceLists; // last: its answer never outlives the widgets
};
