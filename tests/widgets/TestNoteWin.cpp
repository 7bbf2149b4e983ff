#include "NoteWin.h"
#include "WindowScaling.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

constexpr int kLoopNotQuit = 99;

// Runs the application's event loop, performs `action` from inside it, and returns the loop's
// exit code: 0 when the action quit the application, kLoopNotQuit when the guard ended the loop
// after `guardMs` instead.
int runAppLoop(const std::function<void()> &action, int guardMs)
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(kLoopNotQuit); });
    guard.start(guardMs);
    QTimer::singleShot(0, &guard, action);
    return QApplication::exec();
}

// Alive means running: a process that has ended but is not yet collected by its parent is not.
bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray fields = stat.readAll();
    const int afterName = fields.lastIndexOf(')');
    return afterName > 0 && fields.mid(afterName + 2, 1) != "Z";
}

struct NoteParts
{
    explicit NoteParts(const NoteWin &note)
        : icon(note.findChild<QPushButton *>(QStringLiteral("pushButton")))
        , yes(note.findChild<QPushButton *>(QStringLiteral("pushButton_yes")))
        , no(note.findChild<QPushButton *>(QStringLiteral("pushButton_no")))
        , ok(note.findChild<QPushButton *>(QStringLiteral("pushButton_ok")))
        , title(note.findChild<QLabel *>(QStringLiteral("label_bt")))
        , message(note.findChild<QLabel *>(QStringLiteral("label_msg")))
        , countdown(note.findChild<QLabel *>(QStringLiteral("label_m")))
        , words(note.findChild<QLabel *>(QStringLiteral("label_gb")))
        , timer(note.findChild<QTimer *>(QStringLiteral("autoCloseTimer")))
    { }
    bool complete() const
    {
        return icon && yes && no && ok && title && message && countdown && words && timer;
    }

    QPushButton *icon;
    QPushButton *yes;
    QPushButton *no;
    QPushButton *ok;
    QLabel *title;
    QLabel *message;
    QLabel *countdown;
    QLabel *words;
    QTimer *timer;
};

} // namespace

class TestNoteWin : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void scalesFromDesignScreen_data();
    void scalesFromDesignScreen();

    void yesByMode_data();
    void yesByMode();
    void exitPromptYesEndsKeyHookAndQuits_data();
    void exitPromptYesEndsKeyHookAndQuits();
    void noOnlyHides_data();
    void noOnlyHides();

    void okModeShowsOnlyOkAndClosesItself();
    void okHidesAndLeavesCountdownRunning();
    void yesNoModeHidesOkAndCancelsCountdown();
    void timeoutWhileIdleDoesNothing();
    void enterKeysPressShownButton_data();
    void enterKeysPressShownButton();

    void setTextsShowsOrHidesCountdown_data();
    void setTextsShowsOrHidesCountdown();
    void autoCloseWords();
    void iconSwitchesPicture_data();
    void iconSwitchesPicture();
    void centredOverOwner_data();
    void centredOverOwner();
};

void TestNoteWin::init()
{
    WindowScaling::setScreenOverride(QSize(1440, 900));
}

void TestNoteWin::cleanup()
{
    WindowScaling::setScreenOverride(QSize());
}

void TestNoteWin::scalesFromDesignScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("title");

    QTest::newRow("design screen") << QSize(1440, 900) << QSize(354, 242) << QRect(0, 68, 354, 30);
    QTest::newRow("smaller screen") << QSize(1366, 768) << QSize(354, 242) << QRect(0, 68, 354, 30);
    QTest::newRow("full HD") << QSize(1920, 1080) << QSize(472, 290) << QRect(0, 81, 472, 36);
    QTest::newRow("QHD, rounded down")
        << QSize(2560, 1440) << QSize(629, 387) << QRect(0, 108, 629, 48);
}

void TestNoteWin::scalesFromDesignScreen()
{
    QFETCH(QSize, screen);
    QFETCH(QSize, size);
    QFETCH(QRect, title);

    WindowScaling::setScreenOverride(screen);
    NoteWin note;
    const NoteParts parts(note);
    QVERIFY(parts.complete());
    QCOMPARE(note.size(), size);
    QCOMPARE(parts.title->geometry(), title);

    // Laying out again for the same screen changes nothing.
    note.resizeWinodw();
    QCOMPARE(note.size(), size);
    QCOMPARE(parts.title->geometry(), title);
}

void TestNoteWin::yesByMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("logoutRequests");

    QTest::newRow("logout prompt") << 2 << 1;
    QTest::newRow("no mode set") << 0 << 0;
    QTest::newRow("restart prompt") << 3 << 0; // SendRestart, see TestTallyport
    QTest::newRow("unknown mode") << 4 << 0;
    QTest::newRow("negative mode") << -1 << 0;
}

void TestNoteWin::yesByMode()
{
    QFETCH(int, mode);
    QFETCH(int, logoutRequests);

    NoteWin note;
    const NoteParts parts(note);
    QVERIFY(parts.complete());
    note.setMode(mode);
    QCOMPARE(note.mode(), mode);
    note.setYesNoMode(QStringLiteral("确定"), QStringLiteral("取消"));
    note.show();
    QSignalSpy logout(&note, &NoteWin::SendToParamSetting);

    const int loopCode = runAppLoop([&] { QTest::mouseClick(parts.yes, Qt::LeftButton); }, 500);

    QCOMPARE(loopCode, kLoopNotQuit);
    QCOMPARE(logout.count(), logoutRequests);
    QVERIFY(note.isVisible());
}

void TestNoteWin::exitPromptYesEndsKeyHookAndQuits_data()
{
    QTest::addColumn<bool>("keyHookRunning");

    QTest::newRow("keyboard hook running") << true;
    QTest::newRow("keyboard hook not running") << false;
}

void TestNoteWin::exitPromptYesEndsKeyHookAndQuits()
{
    QFETCH(bool, keyHookRunning);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcess keyHook;
    if (keyHookRunning) {
        const QString program = dir.filePath(QStringLiteral("KeyHook"));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        keyHook.start(program, {QStringLiteral("120")});
        QVERIFY(keyHook.waitForStarted());
        QVERIFY(processAlive(keyHook.processId()));
    }

    NoteWin note;
    const NoteParts parts(note);
    QVERIFY(parts.complete());
    note.setMode(1);
    note.setYesNoMode(QStringLiteral("确定"), QStringLiteral("取消"));
    note.show();
    QSignalSpy logout(&note, &NoteWin::SendToParamSetting);

    bool keyHookEndedFirst = false;
    const qint64 pid = keyHook.processId();
    const int loopCode = runAppLoop(
        [&] {
            QTest::mouseClick(parts.yes, Qt::LeftButton);
            keyHookEndedFirst = !keyHookRunning || !processAlive(pid);
        },
        10000);

    QCOMPARE(loopCode, 0);
    QVERIFY(keyHookEndedFirst);
    QCOMPARE(logout.count(), 0);
    if (keyHookRunning) {
        QVERIFY(keyHook.waitForFinished(5000));
        QCOMPARE(keyHook.exitStatus(), QProcess::CrashExit);
    }
}

void TestNoteWin::noOnlyHides_data()
{
    QTest::addColumn<int>("mode");

    QTest::newRow("exit prompt") << 1;
    QTest::newRow("logout prompt") << 2;
}

void TestNoteWin::noOnlyHides()
{
    QFETCH(int, mode);

    NoteWin note;
    const NoteParts parts(note);
    QVERIFY(parts.complete());
    note.setMode(mode);
    note.setYesNoMode(QStringLiteral("yes"), QStringLiteral("no"));
    note.show();
    QSignalSpy logout(&note, &NoteWin::SendToParamSetting);

    const int loopCode = runAppLoop([&] { QTest::mouseClick(parts.no, Qt::LeftButton); }, 500);

    QCOMPARE(loopCode, kLoopNotQuit);
    QVERIFY(!note.isVisible());
    QCOMPARE(logout.count(), 0);
}

void TestNoteWin::okModeShowsOnlyOkAndClosesItself()
{
    NoteWin note;
    const NoteParts parts(note);
    QVERIFY(parts.complete());
    note.setOkMode(QStringLiteral("知道了"));
    note.show();

    QCOMPARE(parts.ok->text(), QStringLiteral("知道了"));
    QVERIFY(parts.ok->isVisible());
    QVERIFY(!parts.yes->isVisible());
    QVERIFY(!parts.no->isVisible());
    QVERIFY(parts.timer->isActive());
    QCOMPARE(parts.timer->interval(), 1000);
    QCoreApplication::processEvents();
    QVERIFY(note.isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(!note.isVisible(), 3000);
    QVERIFY(!parts.timer->isActive());
}

void TestNoteWin::okHidesAndLeavesCountdownRunning()
{
    NoteWin note;
    const NoteParts parts(note);
    QVERIFY(parts.complete());
    note.setOkMode(QStringLiteral("OK"));
    note.show();

    QTest::mouseClick(parts.ok, Qt::LeftButton);
    QVERIFY(!note.isVisible());
    QVERIFY(parts.timer->isActive());

    // Shown again within the second, the note still closes when the countdown ends.
    note.show();
    QTRY_VERIFY_WITH_TIMEOUT(!note.isVisible(), 3000);
    QVERIFY(!parts.timer->isActive());
}

void TestNoteWin::yesNoModeHidesOkAndCancelsCountdown()
{
    NoteWin note;
    const NoteParts parts(note);
    QVERIFY(parts.complete());
    note.setOkMode(QStringLiteral("OK"));
    QVERIFY(parts.timer->isActive());

    note.setYesNoMode(QStringLiteral("Xác nhận"), QStringLiteral("Hủy"));
    note.show();

    QCOMPARE(parts.yes->text(), QStringLiteral("Xác nhận"));
    QCOMPARE(parts.no->text(), QStringLiteral("Hủy"));
    QVERIFY(parts.yes->isVisible());
    QVERIFY(parts.no->isVisible());
    QVERIFY(!parts.ok->isVisible());
    // A notice's pending countdown must not close the prompt that replaced it.
    QVERIFY(!parts.timer->isActive());
}

void TestNoteWin::timeoutWhileIdleDoesNothing()
{
    NoteWin note;
    note.setYesNoMode(QStringLiteral("yes"), QStringLiteral("no"));
    note.show();
    note.handleTimeout();
    QVERIFY(note.isVisible());
}

void TestNoteWin::enterKeysPressShownButton_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("okMode");

    const int none = Qt::NoModifier;
    const int keypad = Qt::KeypadModifier;
    QTest::newRow("Return, Yes/No") << int(Qt::Key_Return) << none << false;
    QTest::newRow("Enter, Yes/No") << int(Qt::Key_Enter) << none << false;
    QTest::newRow("keypad Enter, Yes/No") << int(Qt::Key_Enter) << keypad << false;
    QTest::newRow("Return, OK") << int(Qt::Key_Return) << none << true;
    QTest::newRow("Enter, OK") << int(Qt::Key_Enter) << none << true;
    QTest::newRow("keypad Enter, OK") << int(Qt::Key_Enter) << keypad << true;
}

void TestNoteWin::enterKeysPressShownButton()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, okMode);

    NoteWin note;
    note.setMode(2);
    if (okMode)
        note.setOkMode(QStringLiteral("确定"));
    else
        note.setYesNoMode(QStringLiteral("确定"), QStringLiteral("取消"));
    note.show();
    note.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&note));
    QVERIFY(note.isVisible());
    QSignalSpy logout(&note, &NoteWin::SendToParamSetting);

    QTest::keyClick(&note, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    if (okMode) {
        // OK hides the note; the hidden Yes does not react.
        QVERIFY(!note.isVisible());
        QCOMPARE(logout.count(), 0);
    } else {
        QCOMPARE(logout.count(), 1);
        QVERIFY(note.isVisible());
    }
}

void TestNoteWin::setTextsShowsOrHidesCountdown_data()
{
    QTest::addColumn<bool>("showCountdown");
    QTest::addColumn<QString>("countdownText");

    QTest::newRow("with countdown") << true << QStringLiteral("3s");
    QTest::newRow("without countdown") << false << QStringLiteral("1s");
}

void TestNoteWin::setTextsShowsOrHidesCountdown()
{
    QFETCH(bool, showCountdown);
    QFETCH(QString, countdownText);

    NoteWin note;
    const NoteParts parts(note);
    QVERIFY(parts.complete());
    note.show();
    // Start from the opposite state, so the call under test has to change it.
    note.setTexts(
        QStringLiteral("old"), QStringLiteral("old"), QStringLiteral("1s"), !showCountdown);

    note.setTexts(QStringLiteral("支付成功"), QStringLiteral("支付金额：12.5"),
        QStringLiteral("3s"), showCountdown);

    QCOMPARE(parts.title->text(), QStringLiteral("支付成功"));
    QCOMPARE(parts.message->text(), QStringLiteral("支付金额：12.5"));
    QCOMPARE(parts.countdown->text(), countdownText);
    QCOMPARE(parts.countdown->isVisible(), showCountdown);
    QCOMPARE(parts.words->isVisible(), showCountdown);
}

void TestNoteWin::autoCloseWords()
{
    NoteWin note;
    const NoteParts parts(note);
    QVERIFY(parts.complete());
    note.setAutoCloseWords(QStringLiteral("auto close"));
    QCOMPARE(parts.words->text(), QStringLiteral("auto close"));
    QCOMPARE(parts.countdown->text(), QStringLiteral("1s"));
}

void TestNoteWin::iconSwitchesPicture_data()
{
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("notShown");

    QTest::newRow("success") << true << QStringLiteral(":/Tallyport/skin/success.png")
                             << QStringLiteral("fail.png");
    QTest::newRow("fail") << false << QStringLiteral(":/Tallyport/skin/fail.png")
                          << QStringLiteral("success.png");
}

void TestNoteWin::iconSwitchesPicture()
{
    QFETCH(bool, success);
    QFETCH(QString, shown);
    QFETCH(QString, notShown);

    NoteWin note;
    const NoteParts parts(note);
    QVERIFY(parts.complete());
    note.setIcon(!success);
    note.setIcon(success);

    const QString style = parts.icon->styleSheet();
    QVERIFY2(style.contains(QStringLiteral("border-image")), qPrintable(style));
    QVERIFY2(style.contains(shown), qPrintable(style));
    QVERIFY2(!style.contains(notShown), qPrintable(style));
}

void TestNoteWin::centredOverOwner_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("owner"); // inside the window; empty: the window itself
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("owner window") << QRect(100, 50, 800, 600) << QRect() << QPoint(323, 229);
    QTest::newRow("odd sizes") << QRect(37, 21, 801, 603) << QRect() << QPoint(260, 201);
    QTest::newRow("page inside a window")
        << QRect(100, 50, 900, 700) << QRect(40, 30, 600, 400) << QPoint(263, 159);
    QTest::newRow("owner smaller than the note")
        << QRect(500, 400, 200, 100) << QRect() << QPoint(423, 329);
}

void TestNoteWin::centredOverOwner()
{
    QFETCH(QRect, window);
    QFETCH(QRect, owner);
    QFETCH(QPoint, expected);

    QWidget topLevel;
    topLevel.setGeometry(window);
    QWidget page(&topLevel);
    const QWidget *target = &topLevel;
    if (!owner.isNull()) {
        page.setGeometry(owner);
        target = &page;
    }
    topLevel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&topLevel));

    NoteWin note(&topLevel);
    note.centreOver(target);
    note.show();
    QVERIFY(QTest::qWaitForWindowExposed(&note));

    QCOMPARE(note.geometry(), QRect(expected, QSize(354, 242)));
}

QTEST_MAIN(TestNoteWin)
#include "TestNoteWin.moc"
