#include "ReceiptMessage.h"

ReceiptMessage::ReceiptMessage(const std::wstring &message)
{
    std::size_t begin = 0;
    for (int index = 0; index < kFieldCount && begin <= message.size(); ++index) {
        std::size_t end = index + 1 < kFieldCount ? message.find(L'#', begin) : std::wstring::npos;
        if (end == std::wstring::npos)
            end = message.size();
        const QString text = QString::fromStdWString(message.substr(begin, end - begin));
        if (text != QLatin1String("null"))
            m_fields[index] = text;
        begin = end + 1;
    }
}

QString ReceiptMessage::field(int index) const
{
    if (index < 0 || index >= kFieldCount)
        return QString();
    return m_fields[index];
}

ReceiptFields ReceiptMessage::fields(Layout layout) const
{
    ReceiptFields fields;
    if (layout == Layout::PaySuccess) {
        fields.payType = m_fields[1];
        fields.paidAmount = m_fields[2];
        fields.tradeTime = m_fields[3];
        fields.orderNumber = m_fields[4];
        fields.orderAmount = m_fields[5];
    } else {
        fields.payType = m_fields[2];
        fields.orderAmount = m_fields[3];
        fields.paidAmount = m_fields[4];
        fields.tradeTime = m_fields[5];
        fields.orderNumber = m_fields[6];
    }
    return fields;
}
