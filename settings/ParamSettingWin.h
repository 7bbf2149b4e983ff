#pragma once

#include "MetaTypes.h"

#include <QWidget>

#include <memory>
#include <string>

namespace Ui {
class ParamSettingWin;
}

class NoteWin;

// The settings page: the merchant and account of the logged-in cashier, the switches, hot
// keys, printer and input options, and logout.
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
    // The latest pay-success receipt, in its seven fields.
    const std::wstring &lastReceipt() const { return m_lastReceipt; }

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
    void OnNo();
    void OnExitUser();
    void receiveNote();
    void receiveMsgFromCheckStand(std::wstring data);
    void receivePayPrint(std::wstring data);
    void recvivePrint(std::wstring data);

private:
    std::unique_ptr<Ui::ParamSettingWin> m_ui;
    NoteWin *m_noteWin;
    int m_language;
    std::string m_clerkTel;
    std::wstring m_merchantName;
    std::wstring m_storeName;
    std::wstring m_storeManager;
    std::wstring m_managerPhone;
    std::wstring m_lastReceipt;
};
