#include "PayRules.h"

#include <QtTest>

Q_DECLARE_METATYPE(Wallet)
Q_DECLARE_METATYPE(PayOutcome)

class TestPayRules : public QObject
{
    Q_OBJECT

private slots:
    void classify_data();
    void classify();
    void everyLastDigit_data();
    void everyLastDigit();
    void walletNames();
    void storedOutcomeRoundTrip();
};

void TestPayRules::classify_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<Wallet>("wallet");
    QTest::addColumn<PayOutcome>("outcome");

    QTest::newRow("wx 10, 18 digits")
        << "100000000000000000" << Wallet::WeChat << PayOutcome::PaidAtOnce;
    QTest::newRow("wx 15, 18 digits")
        << "150000000000000005" << Wallet::WeChat << PayOutcome::PaidAtOnce;
    QTest::newRow("wx 13 ends 6") << "134567890123456786" << Wallet::WeChat
                                  << PayOutcome::PaidAtThirdQuery;
    QTest::newRow("wx 17 digits") << "13456789012345670" << Wallet::None << PayOutcome::InvalidCode;
    QTest::newRow("wx 19 digits") << "1345678901234567890" << Wallet::None
                                  << PayOutcome::InvalidCode;
    QTest::newRow("prefix 09") << "090000000000000000" << Wallet::None << PayOutcome::InvalidCode;
    QTest::newRow("prefix 16") << "160000000000000000" << Wallet::None << PayOutcome::InvalidCode;
    QTest::newRow("ali 25, 16 digits")
        << "2500000000000001" << Wallet::Alipay << PayOutcome::PaidAtOnce;
    QTest::newRow("ali 30, 24 digits")
        << "300000000000000000000007" << Wallet::Alipay << PayOutcome::FailsAtThirdQuery;
    QTest::newRow("ali 28, 18 digits")
        << "280000000000000008" << Wallet::Alipay << PayOutcome::PendingForever;
    QTest::newRow("ali 15 digits") << "250000000000001" << Wallet::None << PayOutcome::InvalidCode;
    QTest::newRow("ali 25 digits")
        << "2500000000000000000000001" << Wallet::None << PayOutcome::InvalidCode;
    QTest::newRow("prefix 24") << "2400000000000000" << Wallet::None << PayOutcome::InvalidCode;
    QTest::newRow("prefix 31") << "3100000000000000" << Wallet::None << PayOutcome::InvalidCode;
    QTest::newRow("ali ends 9") << "2612345678901239" << Wallet::Alipay << PayOutcome::Refused;
    QTest::newRow("letter inside")
        << "13456789012345678a" << Wallet::None << PayOutcome::InvalidCode;
    QTest::newRow("blank inside") << "1345678901234 5678" << Wallet::None
                                  << PayOutcome::InvalidCode;
    QTest::newRow("sign") << "+34567890123456781" << Wallet::None << PayOutcome::InvalidCode;
    QTest::newRow("full-width digits")
        << "１３４５６７８９０１２３４５６７８" << Wallet::None << PayOutcome::InvalidCode;
    QTest::newRow("empty") << "" << Wallet::None << PayOutcome::InvalidCode;
    QTest::newRow("one digit") << "1" << Wallet::None << PayOutcome::InvalidCode;
}

void TestPayRules::classify()
{
    QFETCH(QString, code);
    QFETCH(Wallet, wallet);
    QFETCH(PayOutcome, outcome);

    const PayDecision decision = PayRules::classify(code.toStdString());
    QCOMPARE(decision.wallet, wallet);
    QCOMPARE(decision.outcome, outcome);
}

void TestPayRules::everyLastDigit_data()
{
    QTest::addColumn<QString>("stem");
    QTest::addColumn<Wallet>("wallet");

    QTest::newRow("wx") << "12345678901234567" << Wallet::WeChat;
    QTest::newRow("ali 16") << "271234567890123" << Wallet::Alipay;
    QTest::newRow("ali 20") << "2912345678901234567" << Wallet::Alipay;
}

void TestPayRules::everyLastDigit()
{
    QFETCH(QString, stem);
    QFETCH(Wallet, wallet);

    const PayOutcome byDigit[10] = {PayOutcome::PaidAtOnce, PayOutcome::PaidAtOnce,
        PayOutcome::PaidAtOnce, PayOutcome::PaidAtOnce, PayOutcome::PaidAtOnce,
        PayOutcome::PaidAtOnce, PayOutcome::PaidAtThirdQuery, PayOutcome::FailsAtThirdQuery,
        PayOutcome::PendingForever, PayOutcome::Refused};
    for (int digit = 0; digit <= 9; ++digit) {
        const std::string code = stem.toStdString() + char('0' + digit);
        const PayDecision decision = PayRules::classify(code);
        QCOMPARE(decision.wallet, wallet);
        QCOMPARE(decision.outcome, byDigit[digit]);
    }
}

void TestPayRules::walletNames()
{
    QCOMPARE(PayRules::serviceName(Wallet::WeChat), std::string("wx"));
    QCOMPARE(PayRules::serviceName(Wallet::Alipay), std::string("ali"));
    QCOMPARE(PayRules::serviceName(Wallet::None), std::string());
    QCOMPARE(PayRules::tradePayType(Wallet::WeChat), std::string("2"));
    QCOMPARE(PayRules::tradePayType(Wallet::Alipay), std::string("1"));
    QCOMPARE(PayRules::walletFromService("wx"), Wallet::WeChat);
    QCOMPARE(PayRules::walletFromService("ali"), Wallet::Alipay);
    QCOMPARE(PayRules::walletFromService("WX"), Wallet::None);
}

void TestPayRules::storedOutcomeRoundTrip()
{
    for (PayOutcome outcome : {PayOutcome::PaidAtOnce, PayOutcome::PaidAtThirdQuery,
             PayOutcome::FailsAtThirdQuery, PayOutcome::PendingForever, PayOutcome::Refused}) {
        QCOMPARE(PayRules::outcomeFromCode(PayRules::outcomeCode(outcome)), outcome);
    }
    QCOMPARE(PayRules::outcomeFromCode(42), PayOutcome::InvalidCode);
}

QTEST_GUILESS_MAIN(TestPayRules)
#include "TestPayRules.moc"
