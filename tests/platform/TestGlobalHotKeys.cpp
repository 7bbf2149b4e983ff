// The global hot keys on a real X server (a private Xvfb): combinations pressed with xdotool
// while another client's window has the keyboard focus, changes of key and modifier, a
// combination another client holds, the focus in one of our own windows, a keyboard without
// the keypad separator, and a service made anew after the old one was destroyed (as at logout
// and the next login).
#include "GlobalHotKeys.h"
#include "HotKeyRegistry.h"
#include "HotKeyTable.h"
#include "PrivateXServer.h"
#include "Settings.h"
#include "TempHome.h"

#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

#include <X11/keysym.h>
#include <xcb/xproto.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

namespace {

// Pressed after every key sequence: its id arriving means every key before it was handled.
constexpr int kSentinelId = 9001;
const QString kSentinelKeys = QStringLiteral("alt+z");

const int kControl = XCB_MOD_MASK_CONTROL;
const int kNumLock = XCB_MOD_MASK_2;
const int kCapsLock = XCB_MOD_MASK_LOCK;

// Runs a command on the test's display; its standard output, or nothing when it failed.
std::optional<QString> run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QList<int> repeated(int id, int times)
{
    QList<int> ids;
    for (int n = 0; n < times; ++n)
        ids.append(id);
    return ids;
}

// A combination with each of the lock states, as (keysym, X modifier mask) grabs.
QList<QPair<int, int>> allLockStates(int keysym, int modifiers)
{
    return {{keysym, modifiers}, {keysym, modifiers | kNumLock}, {keysym, modifiers | kCapsLock},
        {keysym, modifiers | kNumLock | kCapsLock}};
}

bool logHas(const QString &message)
{
    QFile file(QStringLiteral("tallyport.log"));
    return file.open(QIODevice::ReadOnly)
        && QString::fromUtf8(file.readAll()).contains(message + QStringLiteral("  Kovani\r\n"));
}

// Another X client: a window that can take the focus, holding the grabs it was started with.
class RivalClient final
{
public:
    ~RivalClient() { stop(); }

    // Starts it with (keysym, X modifier mask) grabs; false when it did not come up.
    bool start(const QList<QPair<int, int>> &grabs = {})
    {
        QStringList arguments;
        for (const auto &grab : grabs)
            arguments << QString::number(grab.first) << QString::number(grab.second);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(qEnvironmentVariable("TALLYPORT_RIVAL_X_CLIENT"), arguments);
        QDeadlineTimer deadline(10000);
        while (m_lines.size() < grabs.size() + 1 && !deadline.hasExpired()) {
            if (m_process.canReadLine())
                m_lines.append(QString::fromLatin1(m_process.readLine()).trimmed());
            else if (!m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                return false;
        }
        return m_lines.size() == grabs.size() + 1 && m_lines.first().startsWith("window ");
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(1000);
        }
    }

    QString window() const { return m_lines.value(0).mid(7); }
    // "grabbed", "refused ERROR" or "no key", per grab.
    QStringList answers() const { return m_lines.mid(1); }

private:
    QProcess m_process;
    QStringList m_lines;
};

// Counts the F9 presses a window is given.
class F9Counter final : public QObject
{
public:
    int presses = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F9)
            ++presses;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestGlobalHotKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firesWhileAnotherClientHasTheFocus_data();
    void firesWhileAnotherClientHasTheFocus();
    void ourOwnWindowKeepsEveryOtherKey();
    void newKeyLeavesOnlyTheNewCombination();
    void newModifierLeavesOnlyTheNewModifier();
    void combinationHeldByAnotherClientIsRefusedAndLogged_data();
    void combinationHeldByAnotherClientIsRefusedAndLogged();
    void twoIdsCannotShareACombination();
    void separatorNeedsAKeyboardThatHasIt();
    void newServiceTakesWhatTheDestroyedOneHeld();

private:
    // The settings page's side at login: the service, the registry, the built-in keys.
    void createService();
    void destroyService();
    // Presses `keys` (xdotool key names) and then the sentinel; the ids that fired before the
    // sentinel's, or {-1} when the sentinel never fired.
    QList<int> press(const QStringList &keys);

    RivalClient m_focusWindow;
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<GlobalHotKeys> m_service;
    std::unique_ptr<HotKeyRegistry> m_registry;
    std::unique_ptr<QSignalSpy> m_fired;
};

void TestGlobalHotKeys::initTestCase()
{
    QVERIFY2(run(QStringLiteral("xdotool"), {QStringLiteral("version")}), "xdotool is needed");
    QVERIFY(m_focusWindow.start());
}

void TestGlobalHotKeys::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_home->isValid());
    // Another program has the keyboard focus; there is no window manager to give it.
    QVERIFY(run(QStringLiteral("xdotool"),
        {QStringLiteral("windowfocus"), QStringLiteral("--sync"), m_focusWindow.window()}));
    QCOMPARE(run(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")})
                 .value_or(QString())
                 .trimmed(),
        m_focusWindow.window());
    createService();
}

void TestGlobalHotKeys::cleanup()
{
    destroyService();
    m_home.reset();
}

void TestGlobalHotKeys::createService()
{
    m_service = std::make_unique<GlobalHotKeys>();
    m_fired = std::make_unique<QSignalSpy>(m_service.get(), &GlobalHotKeys::activated);
    m_registry = std::make_unique<HotKeyRegistry>(*m_service);
    m_registry->registerAll(ParamSettings()); // Ctrl+F9, Ctrl+F1, Ctrl+F6
    QCOMPARE(m_service->registerHotKey(kSentinelId, HotKeyTable::kModAlt, 'Z'),
        HotKeyResult::Registered);
}

void TestGlobalHotKeys::destroyService()
{
    m_fired.reset();
    m_registry.reset();
    m_service.reset();
}

QList<int> TestGlobalHotKeys::press(const QStringList &keys)
{
    m_fired->clear();
    if (!run(
            QStringLiteral("xdotool"), QStringList {QStringLiteral("key")} + keys << kSentinelKeys))
        return {-2};
    const bool sentinelFired = QTest::qWaitFor(
        [this] { return !m_fired->isEmpty() && m_fired->last().at(0).toInt() == kSentinelId; },
        5000);
    if (!sentinelFired)
        return {-1};
    QList<int> ids;
    for (const QList<QVariant> &arguments : std::as_const(*m_fired))
        ids.append(arguments.at(0).toInt());
    ids.removeLast();
    return ids;
}

void TestGlobalHotKeys::firesWhileAnotherClientHasTheFocus_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("altSetting");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("times");

    QTest::newRow("Ctrl+F9") << 8 << 1 << QStringList {"ctrl+F9"} << 1;
    QTest::newRow("Alt+F10") << 9 << 0 << QStringList {"alt+F10"} << 1;
    QTest::newRow("Ctrl+digit") << 17 << 1 << QStringList {"ctrl+7"} << 1;
    QTest::newRow("Alt+letter") << 36 << 0 << QStringList {"alt+q"} << 1;
    QTest::newRow("Ctrl+keypad 0") << 46 << 1 << QStringList {"ctrl+KP_0"} << 1;
    QTest::newRow("Ctrl+keypad *") << 56 << 1 << QStringList {"ctrl+KP_Multiply"} << 1;
    // Two keys of this keymap produce the keypad decimal (91 and 129); both are that key.
    QTest::newRow("Ctrl+keypad . on either key")
        << 60 << 1 << QStringList {"ctrl+KP_Decimal", "ctrl+129"} << 2;
    QTest::newRow("Ctrl+keypad /") << 61 << 1 << QStringList {"ctrl+KP_Divide"} << 1;

    QTest::newRow("with CapsLock on")
        << 8 << 1 << QStringList {"Caps_Lock", "ctrl+F9", "Caps_Lock"} << 1;
    QTest::newRow("with NumLock on")
        << 8 << 1 << QStringList {"Num_Lock", "ctrl+F9", "Num_Lock"} << 1;
    QTest::newRow("with both locks on")
        << 8 << 1 << QStringList {"Num_Lock", "Caps_Lock", "ctrl+F9", "Caps_Lock", "Num_Lock"} << 1;

    QTest::newRow("not the key alone") << 8 << 1 << QStringList {"F9"} << 0;
    QTest::newRow("not the other modifier") << 8 << 1 << QStringList {"alt+F9"} << 0;
    QTest::newRow("not with Shift as well") << 8 << 1 << QStringList {"ctrl+shift+F9"} << 0;
    QTest::newRow("keypad 0 is not the digit 0") << 46 << 1 << QStringList {"ctrl+0"} << 0;
    QTest::newRow("the digit 0 is not keypad 0") << 10 << 1 << QStringList {"ctrl+KP_0"} << 0;
}

void TestGlobalHotKeys::firesWhileAnotherClientHasTheFocus()
{
    QFETCH(int, index);
    QFETCH(int, altSetting);
    QFETCH(QStringList, keys);
    QFETCH(int, times);

    QCOMPARE(m_registry->changeKey(HotKey::Cash, index, altSetting), HotKeyResult::Registered);
    QCOMPARE(press(keys), repeated(5001, times));
}

void TestGlobalHotKeys::ourOwnWindowKeepsEveryOtherKey()
{
    // With the focus in one of our own windows the combination still fires, and only it: the
    // other presses of its key are the window's.
    QWindow window;
    window.resize(200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    F9Counter typed;
    window.installEventFilter(&typed);
    QVERIFY(run(QStringLiteral("xdotool"),
        {QStringLiteral("windowfocus"), QStringLiteral("--sync"),
            QString::number(window.winId())}));

    QCOMPARE(press({"F9", "alt+F9", "ctrl+F9", "shift+F9"}), QList<int>({5001}));
    QCOMPARE(typed.presses, 3);
}

void TestGlobalHotKeys::newKeyLeavesOnlyTheNewCombination()
{
    QCOMPARE(m_registry->changeKey(HotKey::Cash, 9, 1), HotKeyResult::Registered);
    QCOMPARE(press({"ctrl+F9", "ctrl+F10", "ctrl+F1", "ctrl+F6"}), QList<int>({5001, 5002, 5003}));
}

void TestGlobalHotKeys::newModifierLeavesOnlyTheNewModifier()
{
    QCOMPARE(m_registry->changeModifier(HotKey::Receipt, 0), HotKeyResult::Registered);
    QCOMPARE(press({"ctrl+F1", "alt+F1"}), QList<int>({5002}));
    QCOMPARE(m_registry->changeModifier(HotKey::Receipt, 1), HotKeyResult::Registered);
    QCOMPARE(press({"alt+F1", "ctrl+F1"}), QList<int>({5002}));
}

void TestGlobalHotKeys::combinationHeldByAnotherClientIsRefusedAndLogged_data()
{
    QTest::addColumn<int>("rivalModifiers");

    QTest::newRow("held as it is") << kControl;
    QTest::newRow("held with NumLock only") << (kControl | kNumLock);
    QTest::newRow("held with CapsLock only") << (kControl | kCapsLock);
}

void TestGlobalHotKeys::combinationHeldByAnotherClientIsRefusedAndLogged()
{
    QFETCH(int, rivalModifiers);

    RivalClient rival;
    QVERIFY(rival.start({{XK_F7, rivalModifiers}}));
    QCOMPARE(rival.answers(), QStringList {"grabbed"});

    QCOMPARE(m_registry->changeKey(HotKey::Report, 6, 1), HotKeyResult::TakenByOtherProgram);
    QVERIFY(logHas(QStringLiteral("热键注册失败 Ctrl+F7 (5003): 已被其他程序占用")));
    rival.stop();

    // Nothing of the combination stayed with us: another client can take it in every lock
    // state.
    RivalClient next;
    QVERIFY(next.start(allLockStates(XK_F7, kControl)));
    QCOMPARE(next.answers(), QStringList({"grabbed", "grabbed", "grabbed", "grabbed"}));
    next.stop();

    QCOMPARE(m_registry->changeModifier(HotKey::Report, 1), HotKeyResult::Registered);
    QCOMPARE(press({"ctrl+F7"}), QList<int>({5003}));
}

void TestGlobalHotKeys::twoIdsCannotShareACombination()
{
    // The X server would let one client grab the same combination twice.
    QCOMPARE(m_service->registerHotKey(7001, HotKeyTable::kModControl, HotKeyTable::virtualKey(8)),
        HotKeyResult::TakenByOwnHotKey);
    QCOMPARE(press({"ctrl+F9"}), QList<int>({5001}));
}

void TestGlobalHotKeys::separatorNeedsAKeyboardThatHasIt()
{
    const QString keymap
        = run(QStringLiteral("xmodmap"), {QStringLiteral("-pke")}).value_or(QString());
    QVERIFY(keymap.contains(QLatin1String("keycode")));
    QVERIFY2(!keymap.contains(QLatin1String("KP_Separator")),
        "the test expects Xvfb's keymap without a keypad separator");
    const QString key129
        = keymap.split(QLatin1Char('\n')).filter(QStringLiteral("keycode 129 ")).value(0);
    QVERIFY(!key129.isEmpty());

    QCOMPARE(m_registry->changeKey(HotKey::Receipt, 58, 1), HotKeyResult::KeyNotOnKeyboard);
    QVERIFY(
        logHas(QStringLiteral("热键注册失败 Ctrl+Num Separator (5002): 当前键盘布局中没有这个键")));
    QCOMPARE(press({"ctrl+KP_Enter"}), QList<int>());

    // A keyboard whose keypad has a separator key.
    const auto restore = qScopeGuard([&key129] {
        run(QStringLiteral("xmodmap"), {QStringLiteral("-e"), key129.simplified()});
    });
    QVERIFY(run(QStringLiteral("xmodmap"),
        {QStringLiteral("-e"), QStringLiteral("keycode 129 = KP_Separator")}));
    QCOMPARE(m_registry->changeKey(HotKey::Receipt, 58, 1), HotKeyResult::Registered);
    QCOMPARE(press({"ctrl+KP_Enter", "ctrl+Return", "ctrl+KP_Separator"}), QList<int>({5002}));
}

void TestGlobalHotKeys::newServiceTakesWhatTheDestroyedOneHeld()
{
    destroyService();

    // What it held is free again, in every lock state.
    RivalClient rival;
    QVERIFY(rival.start(allLockStates(XK_F9, kControl)));
    QCOMPARE(rival.answers(), QStringList({"grabbed", "grabbed", "grabbed", "grabbed"}));
    rival.stop();

    createService();
    QCOMPARE(press({"ctrl+F9", "ctrl+F1", "ctrl+F6"}), QList<int>({5001, 5002, 5003}));
}

int main(int argc, char *argv[])
{
    PrivateXServer server;
    if (!server.start()) {
        std::fprintf(stderr, "TestGlobalHotKeys: Xvfb did not start\n");
        return 1;
    }
    qputenv("DISPLAY", server.display());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    TestGlobalHotKeys test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestGlobalHotKeys.moc"
