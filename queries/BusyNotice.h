#pragma once

class NoteWin;
class QWidget;

// The notice of a refund that was not sent because a request of its window is still running:
// a refund never waits behind another request (it would leave later than the cashier thinks),
// so the cashier is told and asks again once the answer is in. Closes itself after a second.
class BusyNotice final
{
public:
    BusyNotice();
    ~BusyNotice();
    BusyNotice(const BusyNotice &) = delete;
    BusyNotice &operator=(const BusyNotice &) = delete;

    void showOver(const QWidget *owner, int language);
    const QWidget *window() const;

private:
    NoteWin *m_note; // a window of its own
};
