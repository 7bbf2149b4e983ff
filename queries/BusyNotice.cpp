#include "BusyNotice.h"

#include "NoteWin.h"
#include "RefundTexts.h"

BusyNotice::BusyNotice()
    : m_note(new NoteWin)
{
    m_note->hide();
}

BusyNotice::~BusyNotice()
{
    delete m_note;
}

void BusyNotice::showOver(const QWidget *owner, int language)
{
    m_note->setIcon(false);
    m_note->setTexts(
        RefundTexts::busyTitle(language), RefundTexts::busyMessage(language), QString(), false);
    m_note->setOkMode(RefundTexts::okButton(language));
    m_note->centreOver(owner);
    m_note->show();
    m_note->raise();
}

const QWidget *BusyNotice::window() const
{
    return m_note;
}
