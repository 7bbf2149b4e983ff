#include "LoginRequest.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include <string>

namespace {

QByteArray q(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

QByteArray md5Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

// upper(md5(md5(password) + salt)), computed with Qt.
QByteArray referenceProof(const QByteArray &password)
{
    return md5Hex(md5Hex(password) + "qorvatine").toUpper();
}

} // namespace

class TestLoginRequest : public QObject
{
    Q_OBJECT

private slots:
    void passwordProof_data();
    void passwordProof();
    void bodyBytes();
    void bodyWithQuoteInPhoneNumberStaysJson();
    void maskedBodyHidesTheProof();
};

void TestLoginRequest::passwordProof_data()
{
    QTest::addColumn<QByteArray>("password");

    QTest::newRow("digits") << QByteArray("123456");
    QTest::newRow("letters and blank") << QByteArray("p@ss word");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("chinese") << QByteArray("密码123");
    QTest::newRow("long") << QByteArray(200, 'x');
}

void TestLoginRequest::passwordProof()
{
    QFETCH(QByteArray, password);

    const std::string proof = LoginRequest::passwordProof(password.toStdString());
    QVERIFY2(QRegularExpression(QStringLiteral("^[0-9A-F]{32}$"))
                 .match(QString::fromStdString(proof))
                 .hasMatch(),
        proof.c_str());
    QCOMPARE(q(proof), referenceProof(password));
    QCOMPARE(LoginRequest::passwordProof(password.toStdString()), proof);
}

void TestLoginRequest::bodyBytes()
{
    const std::string proof = LoginRequest::passwordProof("123456");
    QCOMPARE(q(LoginRequest::body("13800138000", proof)),
        QByteArray("{\"type\":\"1\",\"terminal\":\"2\",\"tel\":\"13800138000\",\"pass\":\"")
            + referenceProof("123456") + QByteArray("\"}"));
}

void TestLoginRequest::bodyWithQuoteInPhoneNumberStaysJson()
{
    const std::string body = LoginRequest::body("138\"x\\", "ABC");
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(q(body), &error);
    QVERIFY2(error.error == QJsonParseError::NoError, body.c_str());
    const QJsonObject object = document.object();
    QCOMPARE(object.value(QLatin1String("tel")).toString(), QStringLiteral("138\"x\\"));
    QCOMPARE(object.value(QLatin1String("pass")).toString(), QStringLiteral("ABC"));
    QCOMPARE(object.keys().size(), 4);
}

void TestLoginRequest::maskedBodyHidesTheProof()
{
    const std::string proof = LoginRequest::passwordProof("123456");
    const QByteArray masked = q(LoginRequest::maskedBody("13800138000"));

    QVERIFY2(!masked.contains(q(proof)), masked.constData());
    const QByteArray head("{\"type\":\"1\",\"terminal\":\"2\",\"tel\":\"13800138000\",\"pass\":\"");
    QVERIFY2(masked.startsWith(head), masked.constData());
    QVERIFY2(masked.endsWith("\"}"), masked.constData());
    const QByteArray stars = masked.mid(head.size(), masked.size() - head.size() - 2);
    QVERIFY2(!stars.isEmpty() && stars.count('*') == stars.size(), masked.constData());
}

QTEST_GUILESS_MAIN(TestLoginRequest)
#include "TestLoginRequest.moc"
