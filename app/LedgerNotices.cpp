#include "LedgerNotices.h"

#include "Language.h"
#include "LedgerAttentionWin.h"
#include "LedgerStore.h"
#include "LedgerWorker.h"
#include "RecoveredNotice.h"
#include "SystemMessageBox.h"
#include "WindowScaling.h"

LedgerNotices::LedgerNotices(LedgerStore &ledger, int language, QWidget *windowParent)
    : QObject(windowParent)
    , m_ledger(ledger)
    , m_language(language)
    , m_windowParent(windowParent)
{ }

LedgerNotices::~LedgerNotices()
{
    stop();
}

RecoveredNotice *LedgerNotices::notice()
{
    if (!m_notice) {
        m_notice = std::make_unique<RecoveredNotice>(m_ledger);
        connect(m_notice.get(), &RecoveredNotice::printReceipt, this, &LedgerNotices::printReceipt);
        connect(m_notice.get(), &RecoveredNotice::answered, this, [this] {
            if (m_attention && m_attention->isVisible())
                m_attention->refresh();
        });
    }
    return m_notice.get();
}

void LedgerNotices::start(const std::string &sid)
{
    m_sid = sid;
    reload();
    if (!m_worker)
        m_worker = std::make_unique<LedgerWorker>(m_ledger, this, [this] { reload(); });
    m_worker->start(LedgerWorker::configuredTarget());
}

void LedgerNotices::stop()
{
    if (m_worker)
        m_worker->stop();
}

void LedgerNotices::reload()
{
    notice()->reload(m_sid);
    if (m_attention && m_attention->isVisible())
        m_attention->refresh();
}

void LedgerNotices::onLedgerUpdated(bool unresolved)
{
    if (unresolved && m_worker)
        m_worker->wake();
    showNotRecording();
}

void LedgerNotices::showNotRecording()
{
    if (m_ledger.takeNotice()) {
        SystemMessageBox::inform(
            Language::pick(m_language, "系统消息", "System Information", "Tin tức hệ thống"),
            QString::fromUtf8(LedgerStore::notRecordingNotice()));
    }
}

void LedgerNotices::showAttention()
{
    // One window, kept, shown in the middle of the screen.
    if (!m_attention) {
        m_attention = new LedgerAttentionWin(m_ledger, m_windowParent);
        connect(m_attention, &LedgerAttentionWin::answered, this, &LedgerNotices::reload);
    }
    const QSize screen = WindowScaling::screenSize();
    m_attention->move(
        (screen.width() - m_attention->width()) / 2, (screen.height() - m_attention->height()) / 2);
    m_attention->show();
    m_attention->raise();
    m_attention->activateWindow();
}
