// The login exchange over real HTTPS: the exact request body in the gateway's journal, the
// outcome, and the login log's lines in order.
#include "LoginRequest.h"
#include "Resources.h"
#include "SandboxProcess.h"
#include "ShowWin.h"
#include "Tallyport.h"
#include "TempHome.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLineEdit>
#include <QtTest>

#include <memory>

namespace {

QString expectedProof(const QByteArray &password)
{
    const QByteArray first = QCryptographicHash::hash(password, QCryptographicHash::Md5).toHex();
    return QString::fromLatin1(
        QCryptographicHash::hash(first + "qorvatine", QCryptographicHash::Md5).toHex().toUpper());
}

QStringList loginLogMessages(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList messages;
    const QStringList lines
        = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    const QRegularExpression format(
        QStringLiteral(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}   (.*)  tallyport$)"));
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = format.match(line);
        messages.append(
            match.hasMatch() ? match.captured(1) : QStringLiteral("<malformed> ") + line);
    }
    return messages;
}

} // namespace

class TestLoginExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void demoAccountLogsIn();
    void wrongPasswordIsRefused();

private:
    std::unique_ptr<Tallyport> loginWith(const QString &password);

    SandboxProcess m_sandbox;
    std::unique_ptr<TempHome> m_home;
};

void TestLoginExchange::initTestCase()
{
    Resources::initialise();
    QVERIFY(m_sandbox.start());
}

void TestLoginExchange::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_sandbox.writeClientConfig(m_home->path()));
}

void TestLoginExchange::cleanup()
{
    m_home.reset();
}

std::unique_ptr<Tallyport> TestLoginExchange::loginWith(const QString &password)
{
    auto window = std::make_unique<Tallyport>();
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit_username"))
        ->setText(QStringLiteral("13800000000"));
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit_password"))->setText(password);
    window->show();
    window->OnInputLogin();
    return window;
}

void TestLoginExchange::demoAccountLogsIn()
{
    const int before = m_sandbox.journal().size();
    auto window = loginWith(QStringLiteral("123456"));
    QTRY_VERIFY_WITH_TIMEOUT(window->floatingIcon() != nullptr, 15000);

    const QList<QJsonObject> journal = m_sandbox.journal();
    QCOMPARE(journal.size(), before + 1);
    QCOMPARE(journal.last().value("path").toString(), QStringLiteral("/api/login"));
    QCOMPARE(journal.last().value("body").toString(),
        QStringLiteral(R"({"type":"1","terminal":"2","tel":"13800000000","pass":"%1"})")
            .arg(expectedProof("123456")));

    const QStringList messages
        = loginLogMessages(m_home->filePath(QStringLiteral("RecordRun.log")));
    const QString masked = QString::fromStdString(LoginRequest::maskedBody("13800000000"));
    QCOMPARE(messages,
        QStringList({QStringLiteral("点击登录======================="),
            QStringLiteral("登录请求参数：===========================    ") + masked,
            QStringLiteral("登录成功===========================")}));
    // The proof itself never reaches the log.
    QVERIFY(!messages.join(QLatin1Char('\n')).contains(expectedProof("123456")));
}

void TestLoginExchange::wrongPasswordIsRefused()
{
    auto window = loginWith(QStringLiteral("000000"));
    QTRY_VERIFY_WITH_TIMEOUT(!Tallyport::busy(), 15000);
    QVERIFY(window->floatingIcon() == nullptr);
    QVERIFY(window->isVisible());
    QCOMPARE(window->session().code.empty(), false);
    QVERIFY(window->session().code != L"100");
    const QStringList messages
        = loginLogMessages(m_home->filePath(QStringLiteral("RecordRun.log")));
    QCOMPARE(messages.size(), 3);
    QCOMPARE(messages.last(), QStringLiteral("登录失败================"));
}

QTEST_MAIN(TestLoginExchange)
#include "TestLoginExchange.moc"
