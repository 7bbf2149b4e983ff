#pragma once

#include "WorkInFlight.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class NoteWin;

// Logging out, exiting and restarting while money is in flight. With nothing running the till
// leaves at once. Otherwise a prompt says what runs and waits: once the work has ended, its
// card stays readable for a while and then the till leaves by itself; "立即退出" (注销, 重启)
// leaves at once and writes a run-log line for each piece of work whose outcome is then
// unknown; "取消" stays.
class LeaveFlow final : public QObject
{
    Q_OBJECT

public:
    // How often the work is looked at while a leave waits, and how long the outcome's card
    // (with its three-second countdown) stays readable before the till leaves.
    static constexpr int kCheckMs = 200;
    static constexpr int kOutcomeReadMs = 3500;

    // `work` tells what runs now; `leave` leaves (logout, exit or restart) at once.
    LeaveFlow(std::function<WorkInFlight()> work, std::function<void(WorkInFlight::Leave)> leave,
        int language, QObject *parent = nullptr);
    ~LeaveFlow() override;

    void request(WorkInFlight::Leave leave);
    // A leave waits for work, or for the work's card to be read.
    bool pending() const { return m_pending.has_value(); }
    // The prompt shown while a leave waits; made when first needed.
    NoteWin *prompt();

public slots:
    void OnLeaveAnyway();

private:
    void check();
    void finish(WorkInFlight::Leave leave);

    std::function<WorkInFlight()> m_work;
    std::function<void(WorkInFlight::Leave)> m_leave;
    int m_language;
    NoteWin *m_prompt = nullptr;
    std::optional<WorkInFlight::Leave> m_pending;
    QTimer m_timer;
    QElapsedTimer m_idleSince; // valid while the awaited work has ended and its card reads
};
