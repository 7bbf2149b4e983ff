#pragma once

#include <QWidget>

#include <string>

// The daily summary page: the settlement figures of a date range, printed as a report.
class DailyQueryWin final : public QWidget
{
    Q_OBJECT

public:
    explicit DailyQueryWin(QWidget *parent = nullptr);
    ~DailyQueryWin() override;

    void setClerkTel(const std::string &tel);
    void setStoreName(const std::wstring &storeName);
    const std::wstring &storeName() const { return m_storeName; }
    const QString &printerName() const { return m_printerName; }
    int printWidth() const { return m_printWidth; }

signals:
    void SendToPayWinHidePayWin();

public slots:
    void receivePrintChanged(QString data);
    void receivePrintWidthChanged(int width);

private:
    std::string m_clerkTel;
    std::wstring m_storeName;
    QString m_printerName;
    int m_printWidth = 0;
};
