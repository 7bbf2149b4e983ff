#include "Signing.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <string>
#include <thread>
#include <vector>

Q_DECLARE_METATYPE(Fields)

namespace {

// upper(MD5(text)) computed with Qt, independent of the classes under test.
QByteArray referenceSign(const QByteArray &text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex().toUpper();
}

QByteArray q(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

const QRegularExpression kSignForm(QStringLiteral("^[0-9A-F]{32}$"));
const QRegularExpression kNonceForm(QStringLiteral("^[0-9]{16,31}$"));

} // namespace

class TestSigning : public QObject
{
    Q_OBJECT

private slots:
    void signStringSortsNamesByByteValue_data();
    void signStringSortsNamesByByteValue();
    void signIsUpperCaseMd5OfSignString_data();
    void signIsUpperCaseMd5OfSignString();
    void signChangesWithEveryValueNameAndKey();
    void signDoesNotDependOnTheOrderFieldsAreGiven();
    void nonceIsSixteenToThirtyOneDigits();
    void noncesDrawnInTheSameSecondDiffer();
    void noncesDrawnOnSeveralThreadsDiffer();
};

void TestSigning::signStringSortsNamesByByteValue_data()
{
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");

    // The pay request lists its data as store_id, total, nonce_str, authCode.
    QTest::newRow("pay request")
        << Fields {{"store_id", "1024"}, {"total", "1250"}, {"nonce_str", "7c4e19a0d2f6b"},
               {"authCode", "134567890123456789"}}
        << QByteArray("5f2b9c0e7a1d4e6b")
        << QByteArray("authCode=134567890123456789&nonce_str=7c4e19a0d2f6b&store_id=1024"
                      "&total=1250&key=5f2b9c0e7a1d4e6b");
    QTest::newRow("order query")
        << Fields {{"out_trade_no", "20240305140709123456"}, {"nonce_str", "4821907735516203"}}
        << QByteArray("k3y")
        << QByteArray("nonce_str=4821907735516203&out_trade_no=20240305140709123456&key=k3y");
    QTest::newRow("refund") << Fields {{"refund_desc", "x"}, {"out_trade_no", "T1"}}
                            << QByteArray("k") << QByteArray("out_trade_no=T1&refund_desc=x&key=k");
    QTest::newRow("capital letters before small ones") << Fields {{"b", "2"}, {"B", "1"},
        {"a", "3"}, {"A", "4"}} << QByteArray("k") << QByteArray("A=4&B=1&a=3&b=2&key=k");
    QTest::newRow("digits, capitals, underscore, small letters")
        << Fields {{"ab", "4"}, {"a_b", "3"}, {"aB", "2"}, {"a1", "1"}} << QByteArray("k")
        << QByteArray("a1=1&aB=2&a_b=3&ab=4&key=k");
    QTest::newRow("a name before its longer names") << Fields {{"total_fee", "2"},
        {"total", "1"}} << QByteArray("k") << QByteArray("total=1&total_fee=2&key=k");
    QTest::newRow("high bytes after ascii") << Fields {{"\xc3\xa9t\xc3\xa9", "2"},
        {"zone", "1"}} << QByteArray("k") << QByteArray("zone=1&\xc3\xa9t\xc3\xa9=2&key=k");
    QTest::newRow("single field") << Fields {{"nonce_str", "1234567890123456"}} << QByteArray("abc")
                                  << QByteArray("nonce_str=1234567890123456&key=abc");
    QTest::newRow("empty value kept")
        << Fields {{"memo", ""}, {"id", "7"}} << QByteArray("k") << QByteArray("id=7&memo=&key=k");
    QTest::newRow("empty key") << Fields {{"a", "1"}} << QByteArray("") << QByteArray("a=1&key=");
    QTest::newRow("values taken raw")
        << Fields {{"v", "a&b=c d\"e"}} << QByteArray("k") << QByteArray("v=a&b=c d\"e&key=k");
}

void TestSigning::signStringSortsNamesByByteValue()
{
    QFETCH(Fields, fields);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);

    QCOMPARE(q(Signing::signString(fields, key.toStdString())), expected);
    QCOMPARE(q(Signing::sign(fields, key.toStdString())), referenceSign(expected));
}

void TestSigning::signIsUpperCaseMd5OfSignString_data()
{
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("pay example") << QByteArray("authCode=134567890123456789&nonce_str="
                                               "7c4e19a0d2f6b&store_id=1024&total=1250&key=K");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("chinese") << QByteArray("memo=退款&key=k");
    QTest::newRow("zero byte inside") << QByteArray("a=\0b&key=k", 10);
}

void TestSigning::signIsUpperCaseMd5OfSignString()
{
    QFETCH(QByteArray, text);

    const std::string sign = Signing::signOf(text.toStdString());
    QVERIFY2(kSignForm.match(QString::fromStdString(sign)).hasMatch(), sign.c_str());
    QCOMPARE(q(sign), referenceSign(text));
    QCOMPARE(Signing::signOf(text.toStdString()), sign);
}

void TestSigning::signChangesWithEveryValueNameAndKey()
{
    const Fields base {{"authCode", "134567890123456789"}, {"nonce_str", "7c4e19a0d2f6b"},
        {"store_id", "1024"}, {"total", "1250"}};
    const std::string key = "5f2b9c0e7a1d4e6b";

    QSet<QByteArray> signs;
    signs.insert(q(Signing::sign(base, key)));
    int variants = 1;
    for (std::size_t i = 0; i < base.size(); ++i) {
        Fields otherValue = base;
        otherValue[i].second += "0";
        signs.insert(q(Signing::sign(otherValue, key)));
        Fields otherName = base;
        otherName[i].first += "x";
        signs.insert(q(Signing::sign(otherName, key)));
        variants += 2;
    }
    signs.insert(q(Signing::sign(base, key + "0")));
    signs.insert(q(Signing::sign(base, "")));
    variants += 2;
    // A value moved from one name to another.
    Fields swapped = base;
    std::swap(swapped[2].second, swapped[3].second);
    signs.insert(q(Signing::sign(swapped, key)));
    variants += 1;

    QCOMPARE(signs.size(), variants);
    for (const QByteArray &sign : qAsConst(signs))
        QVERIFY2(kSignForm.match(QString::fromLatin1(sign)).hasMatch(), sign.constData());
}

void TestSigning::signDoesNotDependOnTheOrderFieldsAreGiven()
{
    const Fields dataOrder {
        {"store_id", "9"}, {"total", "100"}, {"nonce_str", "7c4e19a0d2f6b"}, {"authCode", "28"}};
    const Fields signOrder {
        {"authCode", "28"}, {"nonce_str", "7c4e19a0d2f6b"}, {"store_id", "9"}, {"total", "100"}};
    QCOMPARE(q(Signing::sign(dataOrder, "k")), q(Signing::sign(signOrder, "k")));
    QCOMPARE(q(Signing::signString(dataOrder, "k")), q(Signing::signString(signOrder, "k")));
}

void TestSigning::nonceIsSixteenToThirtyOneDigits()
{
    constexpr int draws = 3000;
    QVector<int> lengths(32, 0);
    QVector<int> digits(10, 0);
    int digitCount = 0;
    for (int i = 0; i < draws; ++i) {
        const std::string nonce = Signing::nonce();
        QVERIFY2(kNonceForm.match(QString::fromStdString(nonce)).hasMatch(), nonce.c_str());
        ++lengths[int(nonce.size())];
        for (char c : nonce)
            ++digits[c - '0'];
        digitCount += int(nonce.size());
    }
    // Every length of the range turns up, and no digit is left out or favoured heavily.
    for (int length = 16; length <= 31; ++length)
        QVERIFY2(lengths[length] > 0, qPrintable(QStringLiteral("length %1").arg(length)));
    for (int digit = 0; digit < 10; ++digit)
        QVERIFY2(digits[digit] > digitCount / 20 && digits[digit] < digitCount / 5,
            qPrintable(QStringLiteral("digit %1: %2 of %3")
                           .arg(digit)
                           .arg(digits[digit])
                           .arg(digitCount)));
}

void TestSigning::noncesDrawnInTheSameSecondDiffer()
{
    constexpr int draws = 1000;
    QSet<QByteArray> nonces;
    for (int i = 0; i < draws; ++i)
        nonces.insert(q(Signing::nonce()));
    QVERIFY2(nonces.size() >= draws - 1,
        qPrintable(QStringLiteral("%1 distinct of %2").arg(nonces.size()).arg(draws)));
}

void TestSigning::noncesDrawnOnSeveralThreadsDiffer()
{
    constexpr int threadCount = 4;
    constexpr int perThread = 500;
    std::vector<std::vector<std::string>> drawn(threadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&drawn, t] {
            for (int i = 0; i < perThread; ++i)
                drawn[std::size_t(t)].push_back(Signing::nonce());
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    QSet<QByteArray> nonces;
    for (const std::vector<std::string> &list : drawn) {
        for (const std::string &nonce : list) {
            QVERIFY2(kNonceForm.match(QString::fromStdString(nonce)).hasMatch(), nonce.c_str());
            nonces.insert(q(nonce));
        }
    }
    QVERIFY2(nonces.size() >= threadCount * perThread - 1,
        qPrintable(
            QStringLiteral("%1 distinct of %2").arg(nonces.size()).arg(threadCount * perThread)));
}

QTEST_GUILESS_MAIN(TestSigning)
#include "TestSigning.moc"
