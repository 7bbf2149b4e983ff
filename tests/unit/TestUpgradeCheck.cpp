#include "Settings.h"
#include "UpgradeCheck.h"

#include <QCryptographicHash>
#include <QtTest>

#include <optional>
#include <string>

namespace {

QByteArray upperMd5(const QByteArray &text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex().toUpper();
}

} // namespace

class TestUpgradeCheck : public QObject
{
    Q_OBJECT

private slots:
    void bodyBytes_data();
    void bodyBytes();
    void decodeOffer_data();
    void decodeOffer();
    void updaterParameterLine_data();
    void updaterParameterLine();
};

void TestUpgradeCheck::bodyBytes_data()
{
    QTest::addColumn<QByteArray>("nonce");
    QTest::newRow("16 digits") << QByteArray("1234567890123456");
    QTest::newRow("31 digits") << QByteArray("9081726354091827364554637281900");
}

void TestUpgradeCheck::bodyBytes()
{
    QFETCH(QByteArray, nonce);
    const QByteArray sign = upperMd5("mark=0028&nonce_str=" + nonce + "&type=2&key=lumbridex_app");
    QCOMPARE(QByteArray::fromStdString(UpgradeCheck::body(nonce.toStdString())),
        "{\"type\":\"2\",\"nonce_str\":\"" + nonce + "\",\"mark\":\"0028\",\"sign\":\"" + sign
            + "\"}");
}

void TestUpgradeCheck::decodeOffer_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("offered");
    QTest::addColumn<QString>("memo");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("url");

    QTest::newRow("offer") << QByteArray(
        "{\"status\":\"1\",\"msg\":\"ok\",\"info\":\"the memo fixes\","
        "\"version\":\"2.0\",\"url\":\"https://127.0.0.1:8443/download/T-2.0.tar.gz\"}")
                           << true << QStringLiteral("the memo fixes") << QStringLiteral("2.0")
                           << QStringLiteral("https://127.0.0.1:8443/download/T-2.0.tar.gz");
    QTest::newRow("offer with a chinese memo")
        << QByteArray("{\"status\":\"1\",\"msg\":\"有新版本\",\"info\":\"修复打印\","
                      "\"version\":\"2.1\",\"url\":\"x\"}")
        << true << QStringLiteral("修复打印") << QStringLiteral("2.1") << QStringLiteral("x");
    QTest::newRow("status 0") << QByteArray(
        "{\"status\":\"0\",\"msg\":\"no\",\"info\":\"i\",\"version\":\"2.0\","
        "\"url\":\"x\"}") << false
                              << QString() << QString() << QString();
    QTest::newRow("status missing")
        << QByteArray("{\"msg\":\"ok\",\"info\":\"i\",\"version\":\"2.0\",\"url\":\"x\"}") << false
        << QString() << QString() << QString();
    QTest::newRow("msg missing") << QByteArray(
        "{\"status\":\"1\",\"info\":\"i\",\"version\":\"2.0\",\"url\":\"x\"}")
                                 << false << QString() << QString() << QString();
    QTest::newRow("url missing") << QByteArray(
        "{\"status\":\"1\",\"msg\":\"ok\",\"info\":\"i\",\"version\":\"2.0\"}")
                                 << false << QString() << QString() << QString();
    QTest::newRow("not json") << QByteArray("<html>update</html>") << false << QString()
                              << QString() << QString();
    QTest::newRow("empty") << QByteArray() << false << QString() << QString() << QString();
}

void TestUpgradeCheck::decodeOffer()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, offered);
    QFETCH(QString, memo);
    QFETCH(QString, version);
    QFETCH(QString, url);

    const std::optional<UpgradeOffer> offer = UpgradeCheck::decodeOffer(reply.toStdString());
    QCOMPARE(offer.has_value(), offered);
    if (!offered)
        return;
    QCOMPARE(offer->memo, memo);
    QCOMPARE(offer->version, version);
    QCOMPARE(offer->url, url);
}

void TestUpgradeCheck::updaterParameterLine_data()
{
    QTest::addColumn<QString>("memo");
    QTest::addColumn<QString>("line");

    QTest::newRow("one word") << "fixes"
                              << "fixes 2.0 x";
    // Not quoted: the updater sees the memo's words as parameters of their own.
    QTest::newRow("memo with blanks") << "the memo fixes"
                                      << "the memo fixes 2.0 x";
}

void TestUpgradeCheck::updaterParameterLine()
{
    QFETCH(QString, memo);
    QFETCH(QString, line);

    UpgradeOffer offer;
    offer.memo = memo;
    offer.version = QStringLiteral("2.0");
    offer.url = QStringLiteral("x");
    QCOMPARE(UpgradeCheck::updaterParameters(offer), line);
}

QTEST_GUILESS_MAIN(TestUpgradeCheck)
#include "TestUpgradeCheck.moc"
