#include "LoginRequest.h"
#include "LoginSession.h"

#include <QtTest>

#include <string>

using LoginRequest::LoginOutcome;

Q_DECLARE_METATYPE(LoginOutcome)

namespace LoginRequest {

// Names for failure messages, found by QtTest through argument-dependent lookup.
char *toString(LoginOutcome outcome)
{
    static const char *const names[] = {"NoReply", "Refused", "LoggedIn"};
    return qstrdup(names[static_cast<int>(outcome)]);
}

} // namespace LoginRequest

namespace {

QString w(const std::wstring &text)
{
    return QString::fromStdWString(text);
}

// A session as an earlier login left it.
LoginSession earlierSession()
{
    LoginSession session;
    session.appid = L"tpOLD";
    session.key = L"oldkey";
    session.sid = L"900";
    session.uid = L"9001";
    session.apiTime = L"20250101000000";
    session.mchName = L"旧商户";
    session.mchNameCopy = L"旧商户";
    session.storeName = L"旧门店";
    session.storeTel = L"010-1";
    return session;
}

void compareToEarlier(const LoginSession &session)
{
    const LoginSession earlier = earlierSession();
    QCOMPARE(w(session.appid), w(earlier.appid));
    QCOMPARE(w(session.key), w(earlier.key));
    QCOMPARE(w(session.sid), w(earlier.sid));
    QCOMPARE(w(session.uid), w(earlier.uid));
    QCOMPARE(w(session.apiTime), w(earlier.apiTime));
    QCOMPARE(w(session.mchName), w(earlier.mchName));
    QCOMPARE(w(session.mchNameCopy), w(earlier.mchNameCopy));
    QCOMPARE(w(session.storeName), w(earlier.storeName));
    QCOMPARE(w(session.storeTel), w(earlier.storeTel));
}

const char *const kFullData
    = "{\"appid\":\"tp0123456789abcdef\",\"key\":\"0123456789abcdef0123456789abcdef\","
      "\"sid\":\"1001\",\"uid\":\"2001\",\"api_time\":\"20261207101500\","
      "\"mch_name\":\"演示商户\",\"store_name\":\"演示门店\",\"store_tel\":\"021-55550100\"}";

} // namespace

class TestLoginReply : public QObject
{
    Q_OBJECT

private slots:
    void failedRequestsLeaveTheSession_data();
    void failedRequestsLeaveTheSession();
    void successFillsTheSession();
    void missingKeyEndsTheReading();
};

void TestLoginReply::failedRequestsLeaveTheSession_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<LoginOutcome>("outcome");

    QTest::newRow("empty") << QByteArray() << LoginOutcome::NoReply;
    QTest::newRow("html page") << QByteArray("<html><body>sandbox fault</body></html>")
                               << LoginOutcome::NoReply;
    QTest::newRow("cut short") << QByteArray("{\"code\":\"100\",\"data\":{")
                               << LoginOutcome::NoReply;
    QTest::newRow("wrong password")
        << QByteArray("{\"code\":\"201\",\"msg\":\"密码错误\",\"data\":") + kFullData + "}"
        << LoginOutcome::Refused;
    QTest::newRow("no code") << QByteArray("{\"msg\":\"ok\",\"data\":") + kFullData + "}"
                             << LoginOutcome::Refused;
    QTest::newRow("code 1000") << QByteArray("{\"code\":\"1000\",\"data\":") + kFullData + "}"
                               << LoginOutcome::Refused;
}

void TestLoginReply::failedRequestsLeaveTheSession()
{
    QFETCH(QByteArray, reply);
    QFETCH(LoginOutcome, outcome);

    LoginSession session = earlierSession();
    QCOMPARE(LoginRequest::decodeReply(reply.toStdString(), session), outcome);
    compareToEarlier(session);
}

void TestLoginReply::successFillsTheSession()
{
    LoginSession session = earlierSession();
    const std::string reply
        = std::string("{\"code\":\"100\",\"msg\":\"登录成功\",\"data\":") + kFullData + "}";
    QCOMPARE(LoginRequest::decodeReply(reply, session), LoginOutcome::LoggedIn);
    QCOMPARE(w(session.code), QStringLiteral("100"));
    QCOMPARE(w(session.appid), QStringLiteral("tp0123456789abcdef"));
    QCOMPARE(w(session.key), QStringLiteral("0123456789abcdef0123456789abcdef"));
    QCOMPARE(w(session.sid), QStringLiteral("1001"));
    QCOMPARE(w(session.uid), QStringLiteral("2001"));
    QCOMPARE(w(session.apiTime), QStringLiteral("20261207101500"));
    QCOMPARE(w(session.mchName), QStringLiteral("演示商户"));
    QCOMPARE(w(session.mchNameCopy), QStringLiteral("演示商户"));
    QCOMPARE(w(session.storeName), QStringLiteral("演示门店"));
    QCOMPARE(w(session.storeTel), QStringLiteral("021-55550100"));
}

void TestLoginReply::missingKeyEndsTheReading()
{
    // "key" is missing: "appid" is taken, and everything after "key" keeps its earlier value,
    // even "sid" and "store_name", which the reply does carry.
    LoginSession session = earlierSession();
    const std::string reply
        = "{\"code\":\"100\",\"msg\":\"ok\",\"data\":{\"appid\":\"tpNEW\",\"sid\":\"1002\","
          "\"uid\":\"2002\",\"api_time\":\"20261207101500\",\"mch_name\":\"新商户\","
          "\"store_name\":\"新门店\",\"store_tel\":\"021-1\"}}";
    QCOMPARE(LoginRequest::decodeReply(reply, session), LoginOutcome::LoggedIn);
    QCOMPARE(w(session.appid), QStringLiteral("tpNEW"));
    const LoginSession earlier = earlierSession();
    QCOMPARE(w(session.key), w(earlier.key));
    QCOMPARE(w(session.sid), w(earlier.sid));
    QCOMPARE(w(session.uid), w(earlier.uid));
    QCOMPARE(w(session.apiTime), w(earlier.apiTime));
    QCOMPARE(w(session.mchName), w(earlier.mchName));
    QCOMPARE(w(session.mchNameCopy), w(earlier.mchNameCopy));
    QCOMPARE(w(session.storeName), w(earlier.storeName));
    QCOMPARE(w(session.storeTel), w(earlier.storeTel));

    // The second "mch_name" read is the one after the first: a reply that ends at
    // "store_name" fills both copies and stops there.
    LoginSession partial = earlierSession();
    QCOMPARE(LoginRequest::decodeReply(
                 "{\"code\":\"100\",\"data\":{\"appid\":\"a\",\"key\":\"k\",\"sid\":\"s\","
                 "\"uid\":\"u\",\"api_time\":\"t\",\"mch_name\":\"m\",\"store_tel\":\"x\"}}",
                 partial),
        LoginOutcome::LoggedIn);
    QCOMPARE(w(partial.mchName), QStringLiteral("m"));
    QCOMPARE(w(partial.mchNameCopy), QStringLiteral("m"));
    QCOMPARE(w(partial.storeName), w(earlier.storeName));
    QCOMPARE(w(partial.storeTel), w(earlier.storeTel));
}

QTEST_GUILESS_MAIN(TestLoginReply)
#include "TestLoginReply.moc"
