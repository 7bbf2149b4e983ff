#include "RetryQuestion.h"

#include "Amount.h"
#include "Language.h"
#include "LedgerStore.h"
#include "NoteWin.h"

RetryQuestion::RetryQuestion(int language, QObject *parent)
    : QObject(parent)
    , m_language(language)
{ }

RetryQuestion::~RetryQuestion()
{
    delete m_prompt;
}

NoteWin *RetryQuestion::prompt()
{
    if (!m_prompt) {
        m_prompt = new NoteWin;
        // Mode 2: Yes comes back here.
        m_prompt->setMode(2);
        connect(m_prompt, &NoteWin::SendToParamSetting, this, [this] {
            m_prompt->hide();
            m_allowed = m_asked;
            emit confirmed();
        });
    }
    return m_prompt;
}

QString RetryQuestion::text(int language, const LedgerRow &attempt)
{
    const QString time = QString::fromStdString(attempt.createdAt).mid(11);
    return Language::pick(language, "上一笔 %1 元 (%2) 结果未知，仍要收款？\n付款码 %3",
        "The last payment of %1 (%2) has an unknown outcome. Take this one anyway?\nCode %3",
        "Giao dịch trước %1 (%2) chưa rõ kết quả, vẫn thu tiền?\nMã %3")
        .arg(QString::fromStdString(Amount::formatMinorUnits(attempt.amountMinor)), time,
            QString::fromStdString(attempt.codeMasked));
}

bool RetryQuestion::mayPay(long long amountMinor, const std::string &sid, const QWidget *owner)
{
    const bool allowed = m_allowed == amountMinor;
    m_allowed.reset();
    // A new confirm supersedes a question still up: its 确定 would no longer say which payment
    // it is for.
    m_asked.reset();
    if (m_prompt)
        m_prompt->hide();
    if (allowed)
        return true;
    const std::optional<LedgerRow> attempt
        = LedgerStore::shared().unknownAttemptOfAmount(amountMinor, sid);
    if (!attempt)
        return true;
    const int l = m_language;
    m_asked = amountMinor;
    NoteWin *note = prompt();
    note->setIcon(false);
    note->setTexts(Language::pick(l, "请核对", "Please check", "Vui lòng kiểm tra"),
        text(l, *attempt), QString(), false);
    note->setYesNoMode(
        Language::pick(l, "确定", "yes", "Xác nhận"), Language::pick(l, "取消", "no", "Hủy"));
    note->centreOver(owner);
    note->show();
    note->raise();
    return false;
}
