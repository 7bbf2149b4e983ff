#pragma once

#include <QDate>

class QCalendarWidget;
class QLineEdit;

// The start and end date pickers that the order list and the daily summary share: each a
// calendar that its button opens and closes (opening one closes the other) and that closes
// itself when a date is picked, writing the date's text into its line edit. Both open on
// today.
class DateRangePicker final
{
public:
    DateRangePicker(QCalendarWidget *startCalendar, QLineEdit *startEdit,
        QCalendarWidget *endCalendar, QLineEdit *endEdit);

    // The calendars' locale and the dates' texts of a language (1 Chinese, 2 English, anything
    // else Vietnamese).
    void setLanguage(int language);

    void toggleStart();
    void toggleEnd();
    // Closes the calendar and takes its selected date.
    void takeStart();
    void takeEnd();
    void hideCalendars();

    QDate start() const { return m_start; }
    QDate end() const { return m_end; }

private:
    void writeTexts();

    QCalendarWidget *m_startCalendar;
    QLineEdit *m_startEdit;
    QCalendarWidget *m_endCalendar;
    QLineEdit *m_endEdit;
    int m_language = 1;
    QDate m_start;
    QDate m_end;
};
