#include "LedgerNotices.h"

#include "LastingLine.h"
#include "LedgerAttentionWin.h"
#include "LedgerStore.h"
#include "LedgerWorker.h"
#include "RecoveredNotice.h"
#include "WindowScaling.h"

LedgerNotices::LedgerNotices(LedgerStore &ledger, int language, QWidget *windowParent)
    : QObject(windowParent)
    , m_ledger(ledger)
    , m_language(language)
    , m_windowParent(windowParent)
{
    // Any change of the ledger, from whichever thread made it: the notices, the window of
    // payments to check and the lasting line are read again once, on this thread.
    m_ledger.setListener([this] {
        if (!m_changePosted.exchange(true)) {
            m_handOff.post([this] {
                m_changePosted = false;
                if (!m_sid.empty())
                    reload();
                showRecording();
            });
        }
    });
}

LedgerNotices::~LedgerNotices()
{
    m_ledger.setListener(nullptr);
    stop();
}

LastingLine *LedgerNotices::recordingLine()
{
    if (!m_recordingLine)
        m_recordingLine = std::make_unique<LastingLine>();
    return m_recordingLine.get();
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
    if (m_attention)
        m_attention->setStore(sid);
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
}

void LedgerNotices::showRecording()
{
    const QString line = QString::fromStdString(m_ledger.recordingNotice());
    if (!line.isEmpty() || m_recordingLine)
        recordingLine()->setLine(line);
}

void LedgerNotices::showAttention()
{
    // One window, kept, shown in the middle of the screen.
    if (!m_attention) {
        m_attention = new LedgerAttentionWin(m_ledger, m_windowParent);
        m_attention->setStore(m_sid);
        connect(m_attention, &LedgerAttentionWin::answered, this, &LedgerNotices::reload);
    }
    const QSize screen = WindowScaling::screenSize();
    m_attention->move(
        (screen.width() - m_attention->width()) / 2, (screen.height() - m_attention->height()) / 2);
    m_attention->show();
    m_attention->raise();
    m_attention->activateWindow();
}
