// Receipt messages: how the seven fields are split out of the text the checkout and the order
// list send, and how a pay type code reads on a receipt and in the last receipt.
#include "LastReceipt.h"
#include "PayTypeText.h"
#include "ReceiptMessage.h"

#include <QtTest>

#include <string>

namespace {

QStringList fieldsOf(const ReceiptMessage &message)
{
    QStringList fields;
    for (int i = 0; i < ReceiptMessage::kFieldCount; ++i)
        fields << message.field(i);
    return fields;
}

} // namespace

class TestReceiptMessage : public QObject
{
    Q_OBJECT

private slots:
    void splitsIntoSevenFields_data();
    void splitsIntoSevenFields();
    void layoutsPickTheirFields();
    void hugeMessageIsSplitWhole();
    void payTypeReadsByLanguage_data();
    void payTypeReadsByLanguage();
    void lastReceiptKeepsTheMappedPayType();
};

void TestReceiptMessage::splitsIntoSevenFields_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("pay success") << "11#wx#12.5#2024-12-07 15:30:00#202412071530001234567#12.5#11"
                                 << QStringList {"11", "wx", "12.5", "2024-12-07 15:30:00",
                                        "202412071530001234567", "12.5", "11"};
    QTest::newRow("order list, two empty fields")
        << "##ali#25#25#2024-12-07 09:00:01#20241207090001"
        << QStringList {"", "", "ali", "25", "25", "2024-12-07 09:00:01", "20241207090001"};
    QTest::newRow("null fields are empty")
        << "null#null#1#null#42#1#null" << QStringList {"", "", "1", "", "42", "1", ""};
    QTest::newRow("only the exact word null")
        << "NULL# null#nul#nulll#null #x#y"
        << QStringList {"NULL", " null", "nul", "nulll", "null ", "x", "y"};
    QTest::newRow("the last field keeps further #")
        << "a#b#c#d#e#f#g#h##" << QStringList {"a", "b", "c", "d", "e", "f", "g#h##"};
    QTest::newRow("six separators only") << "######" << QStringList {"", "", "", "", "", "", ""};
    QTest::newRow("fewer fields: the rest empty")
        << "11#wx#12.5" << QStringList {"11", "wx", "12.5", "", "", "", ""};
    QTest::newRow("trailing separator") << "a#" << QStringList {"a", "", "", "", "", "", ""};
    QTest::newRow("no separator") << "null" << QStringList {"", "", "", "", "", "", ""};
    QTest::newRow("empty") << "" << QStringList {"", "", "", "", "", "", ""};
    QTest::newRow("wide characters")
        << "收银#微信#1#时间#单号#2#商户"
        << QStringList {"收银", "微信", "1", "时间", "单号", "2", "商户"};
}

void TestReceiptMessage::splitsIntoSevenFields()
{
    QFETCH(QString, message);
    QFETCH(QStringList, fields);

    QCOMPARE(fieldsOf(ReceiptMessage(message.toStdWString())), fields);
    QCOMPARE(ReceiptMessage(message.toStdWString()).field(-1), QString());
    QCOMPARE(ReceiptMessage(message.toStdWString()).field(7), QString());
}

void TestReceiptMessage::layoutsPickTheirFields()
{
    const ReceiptMessage message(L"f0#f1#f2#f3#f4#f5#f6");

    const ReceiptFields paySuccess = message.fields(ReceiptMessage::Layout::PaySuccess);
    QCOMPARE(paySuccess.payType, QStringLiteral("f1"));
    QCOMPARE(paySuccess.paidAmount, QStringLiteral("f2"));
    QCOMPARE(paySuccess.tradeTime, QStringLiteral("f3"));
    QCOMPARE(paySuccess.orderNumber, QStringLiteral("f4"));
    QCOMPARE(paySuccess.orderAmount, QStringLiteral("f5"));

    const ReceiptFields orderList = message.fields(ReceiptMessage::Layout::OrderList);
    QCOMPARE(orderList.payType, QStringLiteral("f2"));
    QCOMPARE(orderList.orderAmount, QStringLiteral("f3"));
    QCOMPARE(orderList.paidAmount, QStringLiteral("f4"));
    QCOMPARE(orderList.tradeTime, QStringLiteral("f5"));
    QCOMPARE(orderList.orderNumber, QStringLiteral("f6"));

    // The checkout's marker and trailer never name the merchant or the cashier.
    for (const ReceiptFields &fields : {paySuccess, orderList}) {
        QVERIFY(fields.merchantName.isEmpty());
        QVERIFY(fields.cashier.isEmpty());
    }
}

void TestReceiptMessage::hugeMessageIsSplitWhole()
{
    const std::wstring big(1 << 20, L'7');
    const ReceiptMessage message(L"a#b#c#d#" + big + L"#e#" + big + L"#x");
    QCOMPARE(message.field(4).size(), 1 << 20);
    QCOMPARE(message.field(6).size(), (1 << 20) + 2);
    QCOMPARE(message.field(5), QStringLiteral("e"));
}

void TestReceiptMessage::payTypeReadsByLanguage_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("onReceipt");
    QTest::addColumn<QString>("inLastReceipt");

    QTest::newRow("ali zh") << "ali" << 1 << "支付宝"
                            << "支付宝";
    QTest::newRow("ali en") << "ali" << 2 << "alipay"
                            << "alipay";
    QTest::newRow("ali vi") << "ali" << 0 << "alipay"
                            << "alipay";
    QTest::newRow("wx zh") << "wx" << 1 << "微信"
                           << "微信";
    QTest::newRow("wx en") << "wx" << 2 << "WeChat"
                           << "WeChat";
    QTest::newRow("wx vi") << "wx" << 7 << "WeChat"
                           << "WeChat";
    QTest::newRow("0 zh") << "0" << 1 << "智能扫码"
                          << "智能扫码";
    QTest::newRow("0 en") << "0" << 2 << "Intelligent and code"
                          << "Intelligent and code";
    QTest::newRow("0 vi") << "0" << 0 << "Quét mã thông minh"
                          << "Quét mã thông minh";
    // The numeric codes of the single-window pay form are known to the last receipt only.
    QTest::newRow("1 zh") << "1" << 1 << "1"
                          << "支付宝";
    QTest::newRow("1 vi") << "1" << 0 << "1"
                          << "alipay";
    QTest::newRow("2 zh") << "2" << 1 << "2"
                          << "微信";
    QTest::newRow("2 en") << "2" << 2 << "2"
                          << "WeChat";
    QTest::newRow("unknown code") << "unionpay" << 1 << "unionpay"
                                  << "unionpay";
    QTest::newRow("case matters") << "WX" << 1 << "WX"
                                  << "WX";
    QTest::newRow("empty") << "" << 1 << ""
                           << "";
}

void TestReceiptMessage::payTypeReadsByLanguage()
{
    QFETCH(QString, code);
    QFETCH(int, language);
    QFETCH(QString, onReceipt);
    QFETCH(QString, inLastReceipt);

    QCOMPARE(PayTypeText::forReceipt(code, language), onReceipt);
    QCOMPARE(PayTypeText::forLastReceipt(code, language), inLastReceipt);
}

void TestReceiptMessage::lastReceiptKeepsTheMappedPayType()
{
    LastReceipt receipt;
    QCOMPARE(receipt.fields().orderNumber, QString());

    receipt.store(L"11#1#12.5#null#202412071530001234567#12.5#11", 1);
    QCOMPARE(receipt.field(1), QStringLiteral("支付宝"));
    QCOMPARE(receipt.field(3), QString());
    const ReceiptFields fields = receipt.fields();
    QCOMPARE(fields.payType, QStringLiteral("支付宝"));
    QCOMPARE(fields.paidAmount, QStringLiteral("12.5"));
    QCOMPARE(fields.orderNumber, QStringLiteral("202412071530001234567"));

    // The next payment replaces everything, also with fewer fields.
    receipt.store(L"11#wx#3", 2);
    QCOMPARE(receipt.fields().payType, QStringLiteral("WeChat"));
    QCOMPARE(receipt.fields().paidAmount, QStringLiteral("3"));
    QCOMPARE(receipt.fields().orderNumber, QString());
}

QTEST_GUILESS_MAIN(TestReceiptMessage)
#include "TestReceiptMessage.moc"
