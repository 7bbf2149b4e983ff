#include "DateRangePicker.h"

#include "DateText.h"

#include <QCalendarWidget>
#include <QLineEdit>
#include <QLocale>

namespace {

QLocale localeOf(int language)
{
    switch (language) {
    case 1:
        return QLocale(QLocale::Chinese, QLocale::China);
    case 2:
        return QLocale(QLocale::English);
    default:
        return QLocale(QLocale::Vietnamese, QLocale::Vietnam);
    }
}

void applyLocale(QCalendarWidget *calendar, const QLocale &locale)
{
    // The first day of the week before the locale: when the locale alone changes it, every day
    // moves to another cell while the calendar keeps its highlight on the old cell, the day
    // before the selected one when Monday gives way to Sunday.
    calendar->setFirstDayOfWeek(locale.firstDayOfWeek());
    calendar->setLocale(locale);
}

void toggle(QCalendarWidget *own, QCalendarWidget *other)
{
    other->hide();
    if (own->isVisible()) {
        own->hide();
    } else {
        own->show();
        own->raise();
    }
}

} // namespace

DateRangePicker::DateRangePicker(QCalendarWidget *startCalendar, QLineEdit *startEdit,
    QCalendarWidget *endCalendar, QLineEdit *endEdit)
    : m_startCalendar(startCalendar)
    , m_startEdit(startEdit)
    , m_endCalendar(endCalendar)
    , m_endEdit(endEdit)
    , m_start(startCalendar->selectedDate())
    , m_end(endCalendar->selectedDate())
{
    writeTexts();
}

void DateRangePicker::setLanguage(int language)
{
    m_language = language;
    applyLocale(m_startCalendar, localeOf(language));
    applyLocale(m_endCalendar, localeOf(language));
    writeTexts();
}

void DateRangePicker::toggleStart()
{
    toggle(m_startCalendar, m_endCalendar);
}

void DateRangePicker::toggleEnd()
{
    toggle(m_endCalendar, m_startCalendar);
}

void DateRangePicker::takeStart()
{
    m_startCalendar->hide();
    m_start = m_startCalendar->selectedDate();
    writeTexts();
}

void DateRangePicker::takeEnd()
{
    m_endCalendar->hide();
    m_end = m_endCalendar->selectedDate();
    writeTexts();
}

void DateRangePicker::hideCalendars()
{
    m_startCalendar->hide();
    m_endCalendar->hide();
}

void DateRangePicker::writeTexts()
{
    m_startEdit->setText(
        DateText::display(m_language, m_start.year(), m_start.month(), m_start.day()));
    m_endEdit->setText(DateText::display(m_language, m_end.year(), m_end.month(), m_end.day()));
}
