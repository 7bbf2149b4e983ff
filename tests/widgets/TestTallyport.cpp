// The login window against the real sandbox gateway: keypad, notice, busy flag, auto-login,
// the session, logout and a new login.
#include "CheckStandWin.h"
#include "ConfigStore.h"
#include "LeaveFlow.h"
#include "LedgerStore.h"
#include "MessageBoxWin.h"
#include "NoteWin.h"
#include "OrderPages.h"
#include "OrderQueryWin.h"
#include "ParamSettingWin.h"
#include "PayWin.h"
#include "ReFundWin.h"
#include "Resources.h"
#include "SandboxProcess.h"
#include "ShowWin.h"
#include "SingleWin.h"
#include "Tallyport.h"
#include "TempHome.h"
#include "WindowScaling.h"
#include "collectionWin.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

int loginRequests(const SandboxProcess &sandbox)
{
    int count = 0;
    for (const QJsonObject &entry : sandbox.journal()) {
        if (entry.value("path").toString() == QLatin1String("/api/login"))
            ++count;
    }
    return count;
}

QByteArray logText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestTallyport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void keypadGoesToThePhoneFieldOnlyWhileItHasFocus();
    void emptyCredentialsShowTheNoticeAndSendNothing_data();
    void emptyCredentialsShowTheNoticeAndSendNothing();
    void returnTwiceSendsOneRequest();
    void autoLoginSubmitsAfterASecond();
    void loginByHandCancelsThePendingAutoLogin();
    void quittingDuringALoginDoesNotWaitForTheNetwork();
    void layingOutTwiceScalesOnce();
    void autoLoginWithoutPasswordShowsTheNotice();
    void noAutoLoginWaitsForTheCashier();
    void failedLoginRestoresTheButton_data();
    void failedLoginRestoresTheButton();
    void replyWithoutKeyStillLogsIn();
    void loginFillsTheSessionAndTheWindows();
    void logoutThenLoginGivesNewWindows();
    void leavingWaitsForAFollowedPayment_data();
    void leavingWaitsForAFollowedPayment();
    void restartIsAskedOfTheProcess();
    void startAtLogonShowsWhetherTheEntryExists();

private:
    void writeConfig(const QStringList &extraLines = {}, const QString &password = "123456");
    std::unique_ptr<Tallyport> makeWindow();
    QLineEdit *field(Tallyport &window, const char *name);
    QPushButton *button(Tallyport &window, const char *name);
    void login(Tallyport &window);

    SandboxProcess m_sandbox;
    std::unique_ptr<TempHome> m_home;
};

void TestTallyport::initTestCase()
{
    Resources::initialise();
    QVERIFY(m_sandbox.start());
}

void TestTallyport::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_home->isValid());
    qputenv("TALLYPORT_PLAYER", "true");
    writeConfig();
}

void TestTallyport::cleanup()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"clear"})"));
    // Each login window opens the ledger of its test's directory.
    LedgerStore::shared().close();
    m_home.reset();
}

void TestTallyport::writeConfig(const QStringList &extraLines, const QString &password)
{
    QStringList lines {QStringLiteral("[USERNAME]"), QStringLiteral("username=13800000000"),
        QStringLiteral("[PASSWORD]"), QStringLiteral("password=") + password};
    QVERIFY(m_sandbox.writeClientConfig(m_home->path(), lines + extraLines));
}

std::unique_ptr<Tallyport> TestTallyport::makeWindow()
{
    auto window = std::make_unique<Tallyport>();
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("login window not active");
    return window;
}

QLineEdit *TestTallyport::field(Tallyport &window, const char *name)
{
    return window.findChild<QLineEdit *>(QString::fromLatin1(name));
}

QPushButton *TestTallyport::button(Tallyport &window, const char *name)
{
    return window.findChild<QPushButton *>(QString::fromLatin1(name));
}

void TestTallyport::login(Tallyport &window)
{
    QVERIFY(window.OnInputLogin() == false);
    QTRY_VERIFY_WITH_TIMEOUT(window.floatingIcon() != nullptr, 15000);
    QVERIFY(!window.isVisible());
}

void TestTallyport::keypadGoesToThePhoneFieldOnlyWhileItHasFocus()
{
    auto window = makeWindow();
    QLineEdit *phone = field(*window, "lineEdit_username");
    QLineEdit *password = field(*window, "lineEdit_password");
    phone->clear();
    password->clear();

    phone->setFocus();
    QTRY_VERIFY(phone->hasFocus());
    QTest::mouseClick(button(*window, "pushButton_input1"), Qt::LeftButton);
    window->OnInput00();
    window->OnInputDot();
    QCOMPARE(phone->text(), QStringLiteral("100."));
    QVERIFY(password->text().isEmpty());
    window->OnInputDelete();
    QCOMPARE(phone->text(), QStringLiteral("100"));

    password->setFocus();
    QTRY_VERIFY(password->hasFocus());
    window->OnInput9();
    QCOMPARE(password->text(), QStringLiteral("9"));

    // With the focus elsewhere the keys go to the password field.
    button(*window, "pushButton_login")->setFocus();
    window->OnInput7();
    QCOMPARE(password->text(), QStringLiteral("97"));
    QCOMPARE(phone->text(), QStringLiteral("100"));
    // The keys never take the focus themselves.
    QCOMPARE(button(*window, "pushButton_input7")->focusPolicy(), Qt::NoFocus);
}

void TestTallyport::emptyCredentialsShowTheNoticeAndSendNothing_data()
{
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("password");
    QTest::newRow("no phone") << QString() << QStringLiteral("123456");
    QTest::newRow("no password") << QStringLiteral("13800000000") << QString();
}

void TestTallyport::emptyCredentialsShowTheNoticeAndSendNothing()
{
    QFETCH(QString, phone);
    QFETCH(QString, password);
    auto window = makeWindow();
    field(*window, "lineEdit_username")->setText(phone);
    field(*window, "lineEdit_password")->setText(password);
    const int before = loginRequests(m_sandbox);

    QVERIFY(!window->OnInputLogin());
    QLabel *notice = window->findChild<QLabel *>(QStringLiteral("label_note"));
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), QStringLiteral("登录失败"));
    QVERIFY(!Tallyport::busy());
    // The notice stays about four seconds, then hides itself.
    QElapsedTimer shown;
    shown.start();
    QTRY_VERIFY_WITH_TIMEOUT(!notice->isVisible(), 6000);
    QVERIFY2(shown.elapsed() >= 3500, "the notice hid too early");
    QCOMPARE(loginRequests(m_sandbox), before);
}

void TestTallyport::returnTwiceSendsOneRequest()
{
    auto window = makeWindow();
    QLineEdit *password = field(*window, "lineEdit_password");
    password->setFocus();
    const int before = loginRequests(m_sandbox);
    QTest::keyClick(password, Qt::Key_Return);
    QVERIFY(Tallyport::busy());
    QCOMPARE(button(*window, "pushButton_login")->text(), QStringLiteral("登录中"));
    QTest::keyClick(password, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(window->floatingIcon() != nullptr, 15000);
    QCOMPARE(loginRequests(m_sandbox), before + 1);
    QVERIFY(!Tallyport::busy());
}

void TestTallyport::autoLoginSubmitsAfterASecond()
{
    writeConfig({QStringLiteral("[AUTOLOGIN]"), QStringLiteral("autologin=1")});
    const int before = loginRequests(m_sandbox);
    auto window = makeWindow();
    QVERIFY(window->autoLoginPending());
    QCOMPARE(loginRequests(m_sandbox), before);
    QTRY_VERIFY_WITH_TIMEOUT(window->floatingIcon() != nullptr, 15000);
    QCOMPARE(loginRequests(m_sandbox), before + 1);
}

void TestTallyport::loginByHandCancelsThePendingAutoLogin()
{
    writeConfig({QStringLiteral("[AUTOLOGIN]"), QStringLiteral("autologin=1")});
    const int before = loginRequests(m_sandbox);
    auto window = makeWindow();
    QVERIFY(window->autoLoginPending());
    QLineEdit *password = field(*window, "lineEdit_password");
    password->setFocus();
    QTest::keyClick(password, Qt::Key_Return);
    QVERIFY(Tallyport::busy());
    // Nothing is left to send a second login once this one has finished.
    QVERIFY(!window->autoLoginPending());
    QTRY_VERIFY_WITH_TIMEOUT(window->floatingIcon() != nullptr, 15000);
    QCOMPARE(loginRequests(m_sandbox), before + 1);
    ShowWin *icon = window->floatingIcon();
    QVERIFY(!window->autoLoginPending());
    QCOMPARE(window->floatingIcon(), icon);
}

void TestTallyport::quittingDuringALoginDoesNotWaitForTheNetwork()
{
    QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":60000})"));
    const int before = loginRequests(m_sandbox);
    auto window = makeWindow();
    window->OnInputLogin();
    QVERIFY(Tallyport::busy());
    // The request has reached the gateway, which holds its answer back.
    QTRY_COMPARE(loginRequests(m_sandbox), before + 1);
    // The close key and the tray's exit end the event loop; the window then goes.
    QElapsedTimer closing;
    closing.start();
    window.reset();
    QVERIFY2(closing.elapsed() < 10000, "quitting waited for the login request");
}

void TestTallyport::layingOutTwiceScalesOnce()
{
    WindowScaling::setScreenOverride(QSize(2880, 1800));
    Tallyport window;
    const QSize size = window.size();
    const QRect login = button(window, "pushButton_login")->geometry();
    window.resizeWinodw();
    WindowScaling::setScreenOverride(QSize());
    QCOMPARE(size, QSize(1040, 960));
    QCOMPARE(window.size(), size);
    QCOMPARE(button(window, "pushButton_login")->geometry(), login);
}

void TestTallyport::autoLoginWithoutPasswordShowsTheNotice()
{
    writeConfig({QStringLiteral("[AUTOLOGIN]"), QStringLiteral("autologin=1")}, QString());
    const int before = loginRequests(m_sandbox);
    auto window = makeWindow();
    QLabel *notice = window->findChild<QLabel *>(QStringLiteral("label_note"));
    QTRY_VERIFY_WITH_TIMEOUT(notice->isVisible(), 3000);
    QVERIFY(!window->autoLoginPending());
    QCOMPARE(loginRequests(m_sandbox), before);
    // The notice then hides instead of trying again.
    QTRY_VERIFY_WITH_TIMEOUT(!notice->isVisible(), 6000);
    QCOMPARE(loginRequests(m_sandbox), before);
}

void TestTallyport::noAutoLoginWaitsForTheCashier()
{
    auto window = makeWindow();
    QVERIFY(!window->autoLoginPending());
    QCOMPARE(field(*window, "lineEdit_username")->text(), QStringLiteral("13800000000"));
    QCOMPARE(field(*window, "lineEdit_password")->text(), QStringLiteral("123456"));
    QVERIFY(window->floatingIcon() == nullptr);
}

void TestTallyport::failedLoginRestoresTheButton_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("fault");
    QTest::newRow("code other than 100") << QStringLiteral("654321") << QByteArray();
    QTest::newRow("no answer") << QStringLiteral("123456")
                               << QByteArray(R"({"kind":"status","status":502})");
    QTest::newRow("not JSON") << QStringLiteral("123456")
                              << QByteArray(R"({"kind":"invalid_json"})");
}

void TestTallyport::failedLoginRestoresTheButton()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, fault);
    if (!fault.isEmpty())
        QVERIFY(m_sandbox.injectFault(fault));
    auto window = makeWindow();
    field(*window, "lineEdit_password")->setText(password);
    window->OnInputLogin();
    QVERIFY(Tallyport::busy());
    QTRY_VERIFY_WITH_TIMEOUT(!Tallyport::busy(), 15000);
    QCOMPARE(button(*window, "pushButton_login")->text(), QStringLiteral("登录"));
    QVERIFY(window->findChild<QLabel *>(QStringLiteral("label_note"))->isVisible());
    QVERIFY(window->floatingIcon() == nullptr);
    QVERIFY(window->isVisible());
    // The cashier can try again at once.
    field(*window, "lineEdit_password")->setText(QStringLiteral("123456"));
    login(*window);
}

void TestTallyport::replyWithoutKeyStillLogsIn()
{
    const QByteArray reply = "{\"code\":\"100\",\"msg\":\"ok\",\"data\":{\"appid\":\"A-NEW\"}}";
    QJsonObject fault;
    fault.insert("kind", "body");
    fault.insert("body", QString::fromUtf8(reply));
    QVERIFY(m_sandbox.injectFault(QJsonDocument(fault).toJson(QJsonDocument::Compact)));
    auto window = makeWindow();
    login(*window);
    QCOMPARE(window->session().appid, std::wstring(L"A-NEW"));
    QVERIFY(window->session().key.empty());
    QVERIFY(window->session().storeName.empty());
}

void TestTallyport::loginFillsTheSessionAndTheWindows()
{
    auto window = makeWindow();
    login(*window);
    const LoginSession &session = window->session();
    QVERIFY(!session.appid.empty());
    QVERIFY(!session.key.empty());
    QVERIFY(!session.sid.empty());
    QCOMPARE(session.tel, std::string("13800000000"));
    QCOMPARE(session.mchName, session.mchNameCopy);

    PayWin *payWin = window->floatingIcon()->payWin();
    QVERIFY(payWin->isVisible());
    QCOMPARE(payWin->currentItem(), PayWin::Checkout);
    QCOMPARE(payWin->checkStandWin()->clerkTel(), std::string("13800000000"));
    QCOMPARE(CheckStandWin::instance(), payWin->checkStandWin());
    const QLineEdit *account
        = payWin->paramSettingWin()->findChild<QLineEdit *>(QStringLiteral("lineEdit_username"));
    QCOMPARE(account->text(), QStringLiteral(" 13800000000"));
    const QLabel *merchant
        = payWin->paramSettingWin()->findChild<QLabel *>(QStringLiteral("label_shmc"));
    QCOMPARE(merchant->text(), QString::fromStdWString(session.mchName));
    QVERIFY(window->trayIcon()->isVisible());
    // The floating icon shows after login when the settings ask for it.
    QVERIFY(window->floatingIcon()->isVisible());

    // The login saved its settings: the stored credentials and the defaults written back.
    const ConfigStore store;
    QCOMPARE(store.readString("USERNAME", "username"), QStringLiteral("13800000000"));
    QCOMPARE(store.readString("CODEHEAD", "codeHead"), QStringLiteral(";"));
    QCOMPARE(store.readString("WINDOWSHOW", "showWindowTime"), QStringLiteral("10"));
}

void TestTallyport::logoutThenLoginGivesNewWindows()
{
    auto window = makeWindow();
    login(*window);
    QPointer<ShowWin> oldIcon = window->floatingIcon();
    QPointer<PayWin> oldPayWin = oldIcon->payWin();
    QPointer<CheckStandWin> oldCheckout = oldPayWin->checkStandWin();
    QPointer<ParamSettingWin> oldSettings = oldPayWin->paramSettingWin();

    // Logout goes through the settings window's prompt.
    oldSettings->OnExitUser();
    NoteWin *prompt = oldSettings->noteWin();
    QVERIFY(prompt->isVisible());
    QCOMPARE(prompt->mode(), 2);
    prompt->OnBtnYes();
    QTRY_VERIFY(window->isVisible());
    QVERIFY(window->floatingIcon() == nullptr);
    QVERIFY(!window->trayIcon()->isVisible());
    QTRY_VERIFY(oldPayWin.isNull());
    QVERIFY(oldIcon.isNull());
    QVERIFY(oldCheckout.isNull());
    QVERIFY(oldSettings.isNull());

    login(*window);
    PayWin *newPayWin = window->floatingIcon()->payWin();
    QVERIFY(newPayWin != nullptr);
    QCOMPARE(CheckStandWin::instance(), newPayWin->checkStandWin());
    QVERIFY(newPayWin->isVisible());
}

void TestTallyport::leavingWaitsForAFollowedPayment_data()
{
    QTest::addColumn<QString>("work"); // checkout, single window or refund
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("leaveNow");
    QTest::addColumn<bool>("exit"); // through the tray's exit prompt, else the settings' logout
    // Pending for ever: the cashier leaves it, and the run log keeps its order as unknown.
    QTest::newRow("checkout, left at once") << "checkout"
                                            << "134567890123456788" << true << false;
    QTest::newRow("checkout, exit") << "checkout"
                                    << "134567890123456788" << true << true;
    // Paid at the third status query: the card shows, then the till logs out.
    QTest::newRow("checkout, waited for") << "checkout"
                                          << "134567890123456786" << false << false;
    // The checkout's pay request itself, held back by the sandbox.
    QTest::newRow("checkout's request, left at once") << "request"
                                                      << "134567890123456780" << true << false;
    // The single-window request and the refund, held back by the sandbox.
    QTest::newRow("single window, left at once") << "single"
                                                 << "134567890123456780" << true << false;
    QTest::newRow("single window, waited for") << "single"
                                               << "134567890123456780" << false << false;
    QTest::newRow("refund, left at once") << "refund"
                                          << "" << true << false;
    QTest::newRow("refund from the order list, left at once")
        << "list refund"
        << "134567890123456780" << true << false;
}

void TestTallyport::leavingWaitsForAFollowedPayment()
{
    QFETCH(QString, work);
    QFETCH(QString, code);
    QFETCH(bool, leaveNow);
    QFETCH(bool, exit);
    auto window = makeWindow();
    login(*window);
    PayWin *payWin = window->floatingIcon()->payWin();
    CheckStandWin *checkout = payWin->checkStandWin();
    SingleWin *single = payWin->singleWin();
    const auto setField = [](QWidget *form, const char *name, const QString &text) {
        form->findChild<QLineEdit *>(QString::fromLatin1(name))->setText(text);
    };
    QString unknown;
    QString named = QStringLiteral("支付正在进行"); // what the prompt says runs
    if (work == "refund") {
        named = QStringLiteral("退款正在进行");
        QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":1500,"count":1})"));
        setField(payWin->reFundWin(), "lineEdit_orderno", "202612071015000000001");
        payWin->reFundWin()->OnInputYes();
        QVERIFY(payWin->reFundWin()->busy());
        unknown = QStringLiteral("退出时退款请求仍在进行, 结果未知");
    } else if (work == "list refund") {
        named = QStringLiteral("退款正在进行");
        // Today's newest order, paid at the checkout, refunded from the order list.
        setField(checkout, "lineEdit_money", "5");
        setField(checkout, "lineEdit_paycode", code);
        checkout->OnInputYes();
        QTRY_VERIFY_WITH_TIMEOUT(checkout->resultCard()->isVisible(), 10000);
        OrderQueryWin *orders = payWin->orderQueryWin();
        orders->QueryTimeout();
        QTRY_VERIFY_WITH_TIMEOUT(!orders->busy(), 10000);
        while (orders->pages().currentPage() < orders->pages().pageCount())
            orders->OnNextPage();
        const int row = (orders->pages().recordCount() - 1) % OrderPages::kRowsPerPage;
        orders
            ->findChild<QCheckBox *>(
                row == 0 ? QStringLiteral("checkBox") : QStringLiteral("checkBox_%1").arg(row + 1))
            ->setChecked(true);
        QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":1500,"count":1})"));
        orders->OnRefund();
        QVERIFY(orders->refunding());
        unknown = QStringLiteral("退出时退款请求仍在进行, 结果未知");
    } else if (work == "single" || work == "request") {
        // The single-window form's or the checkout's pay request, held back by the sandbox.
        QWidget *form = work == "single" ? static_cast<QWidget *>(single) : checkout;
        setField(form, "lineEdit_money", "5");
        setField(form, "lineEdit_paycode", code);
        QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":1500,"count":1})"));
        if (work == "single")
            single->OnInputYes();
        else
            checkout->OnInputYes();
        QVERIFY(work == "single" ? single->paying() : checkout->paying());
        unknown = work == "single" ? QStringLiteral("单窗口支付请求仍在进行, 结果未知")
                                   : QStringLiteral("退出时收款请求仍在进行, 结果未知");
    } else {
        setField(checkout, "lineEdit_money", "5");
        setField(checkout, "lineEdit_paycode", code);
        checkout->setPollCadence({15, 1, 100, 100});
        checkout->OnInputYes();
        QTRY_VERIFY_WITH_TIMEOUT(checkout->polling(), 10000);
        unknown = QString::fromStdWString(checkout->pendingOrderNumber()) + " 结果未知";
    }

    if (exit) {
        window->OnEixtApp();
        window->noteWin()->OnBtnYes();
        QVERIFY(!window->noteWin()->isVisible());
    } else {
        window->OnShowThis(); // the settings' logout
    }
    QVERIFY(window->leavePrompt()->isVisible());
    const QString prompt
        = window->leavePrompt()->findChild<QLabel *>(QStringLiteral("label_msg"))->text();
    QVERIFY2(prompt.startsWith(named), qPrintable(prompt));
    QVERIFY(window->floatingIcon() != nullptr);
    const QString log = m_home->filePath(QStringLiteral("tallyport.log"));
    if (leaveNow) {
        window->leavePrompt()->OnBtnYes();
        QVERIFY(!window->leavePrompt()->isVisible());
        QCOMPARE(window->floatingIcon() == nullptr, !exit); // an exit ends the event loop
        QVERIFY(logText(log).contains(unknown.toUtf8()));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!window->leavePrompt()->isVisible(), 15000);
        QElapsedTimer reading;
        reading.start();
        QVERIFY(
            work == "single" ? single->notice()->isVisible() : checkout->resultCard()->isVisible());
        QVERIFY(window->floatingIcon() != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(window->floatingIcon() == nullptr, 10000);
        // The outcome stayed on screen for its reading time before the till left.
        QVERIFY2(reading.elapsed() >= LeaveFlow::kOutcomeReadMs - 300,
            qPrintable(QString::number(reading.elapsed())));
        QVERIFY(!logText(log).contains("结果未知"));

        // Logged in again, a leave asked during a slow payment and turned down (取消) leaves
        // the till logged in once that payment has ended: no earlier wait carries over.
        QTRY_VERIFY(window->isVisible());
        login(*window);
        single = window->floatingIcon()->payWin()->singleWin();
        setField(single, "lineEdit_money", "5.01");
        setField(single, "lineEdit_paycode", "134567890123456781");
        QVERIFY(m_sandbox.injectFault(R"({"kind":"delay","ms":1500,"count":1})"));
        single->OnInputYes();
        QVERIFY(single->paying());
        window->OnShowThis();
        QVERIFY(window->leavePrompt()->isVisible());
        window->leavePrompt()->OnBtnNo();
        QTRY_VERIFY(!window->leaveFlow().pending());
        QTRY_VERIFY_WITH_TIMEOUT(!single->paying(), 15000);
        QVERIFY(window->floatingIcon() != nullptr);
        QVERIFY(!window->leaveFlow().pending());
        return;
    }
    QTRY_VERIFY(window->isVisible() != exit);
}

void TestTallyport::restartIsAskedOfTheProcess()
{
    // A keyboard-hook program runs though the connection mode is not 0 (it was changed since
    // the start): the restart stops it all the same.
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("KeyHook"));
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
    QProcess keyHook;
    keyHook.start(program, {QStringLiteral("120")});
    QVERIFY(keyHook.waitForStarted());

    auto window = makeWindow();
    login(*window);
    ParamSettingWin *settings = window->floatingIcon()->payWin()->paramSettingWin();
    settings->OnYes();
    settings->noteWin()->OnBtnYes();
    QVERIFY(window->restartRequested());
    QVERIFY(keyHook.waitForFinished(5000));
    QCOMPARE(keyHook.exitStatus(), QProcess::CrashExit);
}

void TestTallyport::startAtLogonShowsWhetherTheEntryExists()
{
    // The file says power_boot=1, but someone removed the entry: the check mark follows the
    // file, which the login does not rewrite, and the log says the entry is missing.
    QTemporaryDir xdg;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(xdg.path()));
    writeConfig({QStringLiteral("[POWER_BOOT]"), QStringLiteral("power_boot=1")});
    auto window = makeWindow();
    QAction *startAtLogon = window->trayMenu()->actions().value(0);
    QCOMPARE(startAtLogon->text(), QStringLiteral("开机自动运行"));
    QVERIFY(startAtLogon->isChecked());
    QVERIFY(logText(m_home->filePath(QStringLiteral("tallyport.log"))).contains("启动项不存在"));
    login(*window);
    QCOMPARE(ConfigStore().readString(QStringLiteral("POWER_BOOT"), QStringLiteral("power_boot")),
        QStringLiteral("1"));
    qunsetenv("XDG_CONFIG_HOME");
}

QTEST_MAIN(TestTallyport)
#include "TestTallyport.moc"
