#include "LastReceipt.h"

#include "PayTypeText.h"

namespace {

constexpr int kPayTypeField = 1;

} // namespace

void LastReceipt::store(const std::wstring &message, int language)
{
    m_message = ReceiptMessage(message);
    m_payType = PayTypeText::forLastReceipt(m_message.field(kPayTypeField), language);
}

QString LastReceipt::field(int index) const
{
    return index == kPayTypeField ? m_payType : m_message.field(index);
}

ReceiptFields LastReceipt::fields() const
{
    ReceiptFields fields = m_message.fields(ReceiptMessage::Layout::PaySuccess);
    fields.payType = m_payType;
    return fields;
}
