// The window of today's payments that need a look, over a real ledger file: which attempts of
// the logged-in store it lists and what each column says, read again on show and on 刷新; and
// that it and the notice answer only about the order they showed.
#include "LedgerAttentionWin.h"
#include "LedgerStore.h"
#include "RecoveredNotice.h"
#include "Resources.h"
#include "TempHome.h"

#include <QLayout>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QtTest>

using State = LedgerStore::State;
Q_DECLARE_METATYPE(State)

namespace {

const QString kNumber = QStringLiteral("202612071015000000001");

} // namespace

class TestLedgerAttentionWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listsWhatNeedsALook_data();
    void listsWhatNeedsALook();
    void answersOnlyTheOrderShown();
};

void TestLedgerAttentionWin::initTestCase()
{
    Resources::initialise();
}

void TestLedgerAttentionWin::listsWhatNeedsALook_data()
{
    QTest::addColumn<State>("answered"); // what the till recorded after sending
    QTest::addColumn<QString>("number"); // the order number it knew
    QTest::addColumn<QString>("message");
    QTest::addColumn<State>("checked"); // a follow-up's outcome; Sending: none made
    QTest::addColumn<QString>("checkedNumber");
    QTest::addColumn<QString>("checkedMessage");
    // Order number, state, message and checks as listed; empty: not listed.
    QTest::addColumn<QStringList>("listed");

    const QString noAnswer = QString::fromUtf8(LedgerStore::kNoAnswer);
    const QString gaveUp = QString::fromUtf8(LedgerStore::kPollingGaveUp);
    QTest::newRow("paid at once") << State::Paid << kNumber << "支付成功" << State::Sending
                                  << QString() << QString() << QStringList();
    QTest::newRow("refused") << State::Refused << QString() << "付款码无效" << State::Sending
                             << QString() << QString() << QStringList();
    QTest::newRow("reply lost") << State::Unresolved << QString() << noAnswer << State::Sending
                                << QString() << QString()
                                << QStringList {"—", "结果未知", noAnswer, "0"};
    QTest::newRow("polling gave up, still pending when checked")
        << State::Unresolved << kNumber << gaveUp << State::Unresolved << QString() << QString()
        << QStringList {kNumber, "结果未知", gaveUp, "1"};
    QTest::newRow("reply lost, found paid in the order list")
        << State::Unresolved << QString() << noAnswer << State::Paid << kNumber << "支付成功"
        << QStringList {kNumber, "已找回·支付成功", "支付成功", "1"};
    QTest::newRow("cut short, found closed")
        << State::Unresolved << kNumber << QString::fromUtf8(LedgerStore::kCutShort)
        << State::Closed << QString() << "订单已关闭"
        << QStringList {kNumber, "已关闭", "订单已关闭", "1"};
}

void TestLedgerAttentionWin::listsWhatNeedsALook()
{
    QFETCH(State, answered);
    QFETCH(QString, number);
    QFETCH(QString, message);
    QFETCH(State, checked);
    QFETCH(QString, checkedNumber);
    QFETCH(QString, checkedMessage);
    QFETCH(QStringList, listed);
    TempHome home;
    LedgerStore ledger;
    QVERIFY(ledger.open(home.filePath(QStringLiteral("ledger.db")).toStdString()));
    const long long id
        = ledger.recordAttempt(LedgerStore::Source::Checkout, 1250, "134567890123456780", "S1");
    QVERIFY(ledger.update(id, answered, number.toStdString(), message.toStdString()));
    if (checked != State::Sending) {
        QVERIFY(ledger.noteFollowUp(
            id, checked, checkedNumber.toStdString(), checkedMessage.toStdString()));
    }

    // Shown: the ledger as it is now.
    LedgerAttentionWin window(ledger);
    window.setStore("S1");
    window.show();
    const auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget_attention"));
    QCOMPARE(table->rowCount(), listed.isEmpty() ? 0 : 1);
    if (!listed.isEmpty()) {
        QStringList cells;
        for (int column = 0; column < table->columnCount(); ++column)
            cells << table->item(0, column)->text();
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))
                     .match(cells.value(0))
                     .hasMatch(),
            qPrintable(cells.value(0)));
        QCOMPARE(cells.mid(1), QStringList({"12.50", "**************6780"}) + listed);
    }

    // 刷新 reads it again: an answer lost since then is listed too, another store's is not.
    const long long lost
        = ledger.recordAttempt(LedgerStore::Source::SingleWindow, 800, "281234567890123450", "S1");
    QVERIFY(ledger.update(lost, State::Unresolved, "", LedgerStore::kNoAnswer));
    const long long elsewhere
        = ledger.recordAttempt(LedgerStore::Source::SingleWindow, 900, "281234567890123450", "S2");
    QVERIFY(ledger.update(elsewhere, State::Unresolved, "", LedgerStore::kNoAnswer));
    QTest::mouseClick(
        window.findChild<QPushButton *>(QStringLiteral("pushButton_refresh")), Qt::LeftButton);
    QCOMPARE(table->rowCount(), listed.isEmpty() ? 1 : 2);
    QCOMPARE(table->item(table->rowCount() - 1, 1)->text(), QStringLiteral("8.00"));
    // The summary of a list wraps within the designed width: it never widens the window past
    // its design, out of the screen it is centred on.
    window.layout()->activate();
    QVERIFY2(window.minimumSizeHint().width() <= 960,
        qPrintable(QString::number(window.minimumSizeHint().width())));
}

void TestLedgerAttentionWin::answersOnlyTheOrderShown()
{
    TempHome home;
    LedgerStore ledger;
    QVERIFY(ledger.open(home.filePath(QStringLiteral("ledger.db")).toStdString()));
    const auto attempt = [&ledger] {
        return ledger.recordAttempt(
            LedgerStore::Source::Checkout, 1250, "134567890123456780", "S1", "wx");
    };
    const auto offer = [&ledger](long long id, const std::string &number) {
        return ledger.noteCandidate(id, [number](const LedgerStore::Snapshot &) {
            return std::optional<LedgerStore::Candidate>({number, {}});
        });
    };
    const long long lost = attempt();
    QVERIFY(ledger.update(lost, State::Unresolved, {}, "lost"));
    QVERIFY(offer(lost, "X"));
    LedgerAttentionWin window(ledger);
    window.setStore("S1");
    window.show();
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget_attention"));
    table->selectRow(0);
    RecoveredNotice notice(ledger);
    notice.reload("S1");

    // Meanwhile the gateway's answer about another attempt names X, and the next look at the
    // list offers Y: 是这笔 on what was shown books nothing.
    QVERIFY(ledger.update(attempt(), State::Paid, "X", "ok"));
    QVERIFY(offer(lost, "Y"));
    window.OnConfirm();
    notice.findChild<QPushButton *>(QStringLiteral("pushButton_confirm"))->click();
    QCOMPARE(ledger.row(lost).state, std::string("matched"));
    // Both show the row as it is now; an answer is about Y.
    QVERIFY(notice.waiting().size() == 1 && notice.waiting().front().outTradeNo == "Y");
    notice.findChild<QPushButton *>(QStringLiteral("pushButton_reject"))->click();
    QCOMPARE(ledger.row(lost).state, std::string("unresolved"));
    QVERIFY(ledger.row(lost).wasRejected("Y"));
}

QTEST_MAIN(TestLedgerAttentionWin)
#include "TestLedgerAttentionWin.moc"
