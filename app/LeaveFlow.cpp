#include "LeaveFlow.h"

#include "Language.h"
#include "NoteWin.h"
#include "RunLog.h"
#include "Text.h"
#include "WindowScaling.h"

LeaveFlow::LeaveFlow(std::function<WorkInFlight()> work,
    std::function<void(WorkInFlight::Leave)> leave, int language, QObject *parent)
    : QObject(parent)
    , m_work(std::move(work))
    , m_leave(std::move(leave))
    , m_language(language)
{
    connect(&m_timer, &QTimer::timeout, this, &LeaveFlow::check);
}

LeaveFlow::~LeaveFlow()
{
    delete m_prompt;
}

NoteWin *LeaveFlow::prompt()
{
    if (!m_prompt) {
        m_prompt = new NoteWin;
        m_prompt->setMode(2);
        connect(m_prompt, &NoteWin::SendToParamSetting, this, &LeaveFlow::OnLeaveAnyway);
    }
    return m_prompt;
}

void LeaveFlow::request(WorkInFlight::Leave leave)
{
    const WorkInFlight work = m_work();
    if (!work.any()) {
        if (m_prompt)
            m_prompt->hide();
        finish(leave);
        return;
    }
    const int l = m_language;
    m_pending = leave;
    // A new wait: whatever an earlier leave had seen end is not this work's outcome.
    m_idleSince.invalidate();
    NoteWin *note = prompt();
    note->setIcon(false);
    note->setTexts(Language::pick(l, "请稍候", "Please wait", "Vui lòng đợi"),
        work.notice(leave, l), QString(), false);
    note->setYesNoMode(
        WorkInFlight::leaveNowText(leave, l), Language::pick(l, "取消", "no", "Hủy"));
    const QSize screen = WindowScaling::screenSize();
    note->move((screen.width() - note->width()) / 2, (screen.height() - note->height()) / 2);
    note->show();
    note->raise();
    m_timer.start(kCheckMs);
}

void LeaveFlow::check()
{
    if (!m_pending) {
        m_timer.stop();
        return;
    }
    const bool waitingForWork = !m_idleSince.isValid();
    if (waitingForWork && !prompt()->isVisible()) {
        // The cashier chose to stay.
        m_pending.reset();
        m_timer.stop();
        return;
    }
    if (m_work().any()) {
        // Work began again while its predecessor's card was read: ask once more.
        if (!waitingForWork)
            request(*m_pending);
        return;
    }
    if (waitingForWork) {
        // The outcome is in: its card shows before the till leaves.
        m_prompt->hide();
        m_idleSince.start();
        return;
    }
    if (m_idleSince.elapsed() < kOutcomeReadMs)
        return;
    finish(*m_pending);
}

void LeaveFlow::OnLeaveAnyway()
{
    prompt()->hide();
    if (!m_pending)
        return;
    for (const QString &line : m_work().unknownOutcomeLines())
        RunLog::write("%s", line.toUtf8().constData());
    finish(*m_pending);
}

void LeaveFlow::finish(WorkInFlight::Leave leave)
{
    m_pending.reset();
    m_timer.stop();
    m_leave(leave);
}
