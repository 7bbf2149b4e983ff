#pragma once

#include "LedgerStore.h"
#include "OrderRecord.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <vector>

// The daily summary's texts by language number (1 Chinese, 2 English, anything else
// Vietnamese).
namespace DailyQueryTexts {

// The four captions of grid row 0 (all payments), 2 (WeChat Pay) or 4 (Alipay).
QStringList captions(int language, int row);
QString printButton(int language);
QString closeButton(int language);
QString queryButton(int language);
QString startCaption(int language);
QString endCaption(int language);

// This till's own figures of the dates on screen, from its payment ledger: how many payments
// it recorded paid and their sum (an exact amount in the currency's unit), then whether they
// are the gateway's paid count and sum and, when they are not and the cashier asked, how many
// of them the gateway's order list of those dates does not hold, and how many paid orders of
// that list no row of this till holds (they may be another till's).
struct TillFigures
{
    enum class Check {
        Same, // the gateway's paid count and sum are the till's: no list is asked for
        NotAsked, // they differ; the list is asked for only when the cashier presses 查询
        Running, // the list is asked for
        Unavailable, // the list could not be had
        Done // the list was compared
    };

    long long paidCount = 0;
    QString paidSum;
    Check check = Check::NotAsked;
    long long unlisted = 0; // when Done
    long long unheld = 0; // when Done
    long long matched = 0; // attempts an order of the list may be, not counted as paid
};
QString tillFigures(int language, const TillFigures &figures);
// The paid rows the gateway does not list, then the gateway's paid orders no row holds, one a
// line (time, amount, order number); empty when there are none.
QString unlistedRows(
    int language, const std::vector<LedgerRow> &rows, const std::vector<OrderRecord> &unheld = {});
// The line shown when the ledger does not record on this till.
QString tillNotRecording(int language);

// What the line under the buttons says of the grid: that a query runs, or, when the figures
// belong to other dates than the date fields show, whose they are; empty when the grid shows
// the figures of the dates on screen.
QString figuresNote(int language, bool queryRunning, const QDate &figuresStart,
    const QDate &figuresEnd, const QDate &shownStart, const QDate &shownEnd);

} // namespace DailyQueryTexts
