#pragma once

#include <QString>
#include <QStringList>

// What a logout, an exit or a restart would cut short: a checkout payment whose answer has not
// come or whose order is still being followed, a single-window payment or a refund whose
// answer has not come. While any of them runs the
// till says so and waits; a cashier who leaves anyway leaves a line in the run log for each,
// so that no payment's outcome is lost without a word.
struct WorkInFlight
{
    enum class Leave { Logout, Exit, Restart };

    bool checkoutPaying = false;
    bool checkoutPolling = false;
    QString checkoutOrder; // the order number being followed, when known
    bool singlePayment = false;
    bool refund = false;

    bool any() const { return checkoutPaying || checkoutPolling || singlePayment || refund; }

    // The prompt shown while waiting: what runs, that the till leaves once it ends, and that
    // leaving now leaves its outcome unknown.
    QString notice(Leave leave, int language) const;
    // The word of the key that leaves at once ("立即退出").
    static QString leaveNowText(Leave leave, int language);
    // One run-log line per piece of work left behind, each saying its outcome is unknown.
    QStringList unknownOutcomeLines() const;
};
