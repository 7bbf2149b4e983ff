// The global hot keys on a real X server (Xvfb): combinations pressed with xdotool while
// another client's window has the keyboard focus, whatever the lock keys; the focus in one of
// our own windows; a key the keyboard lacks; a combination another client holds; and a service
// made anew after the old one was destroyed (as at logout and the next login). The settings
// page's use of them is in tests/e2e/TestE2eSettings.
#include "DesktopSession.h"
#include "GlobalHotKeys.h"
#include "HotKeyRegistry.h"
#include "HotKeyTable.h"
#include "Settings.h"
#include "TempHome.h"

#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QWindow>
#include <QX11Info>
#include <QtTest>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
#undef KeyPress // Xlib's, which hides QEvent::KeyPress

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Pressed after every key sequence: its id arriving means every key before it was handled.
constexpr int kSentinelId = 9001;
constexpr std::uint16_t kControl = XCB_MOD_MASK_CONTROL;
constexpr std::uint16_t kNumLock = XCB_MOD_MASK_2;
constexpr std::uint16_t kCapsLock = XCB_MOD_MASK_LOCK;
const std::initializer_list<std::uint16_t> kEveryLockState {
    kControl, kControl | kNumLock, kControl | kCapsLock, kControl | kNumLock | kCapsLock};

// Returns once the X server has handled every request sent on the connection before.
void roundTrip(xcb_connection_t *connection)
{
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

// Another X client: a connection of its own, with a window that can take the keyboard focus,
// grabbing combinations the way another program holding a hot key does.
class OtherClient final
{
public:
    OtherClient()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(m_connection))
            return;
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_root = screen->root;
        m_window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, m_root, 0, 0, 200, 100, 0,
            XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(m_connection, m_window);
        roundTrip(m_connection);
    }
    ~OtherClient() { xcb_disconnect(m_connection); }

    bool isValid() const { return m_window != 0; }
    QString window() const { return QString::number(m_window); }

    // Grabs the key of `keysym` with each of the modifier masks; true when all were granted.
    bool grab(KeySym keysym, std::initializer_list<std::uint16_t> modifiers)
    {
        const xcb_keycode_t key = XKeysymToKeycode(QX11Info::display(), keysym);
        bool granted = key != 0;
        for (std::uint16_t mask : modifiers) {
            xcb_generic_error_t *error = xcb_request_check(m_connection,
                xcb_grab_key_checked(
                    m_connection, 1, m_root, mask, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            granted = granted && !error;
            std::free(error);
        }
        return granted;
    }
    void ungrabAll()
    {
        xcb_ungrab_key(m_connection, XCB_GRAB_ANY, m_root, XCB_MOD_MASK_ANY);
        roundTrip(m_connection);
    }

private:
    xcb_connection_t *m_connection;
    xcb_window_t m_root = 0;
    xcb_window_t m_window = 0;
};

// A window of our own, counting the F9 presses it is given.
class OwnWindow final : public QWindow
{
public:
    int f9Presses = 0;

protected:
    void keyPressEvent(QKeyEvent *event) override { f9Presses += event->key() == Qt::Key_F9; }
};

} // namespace

class TestGlobalHotKeys : public QObject
{
    Q_OBJECT

public:
    explicit TestGlobalHotKeys(const DesktopSession &desktop)
        : m_desktop(desktop)
    { }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firesWhileAnotherClientHasTheFocus_data();
    void firesWhileAnotherClientHasTheFocus();
    void ourOwnWindowKeepsEveryOtherKey();
    void combinationHeldByAnotherClientIsRefusedAndLogged();
    void whatAServiceGaveUpOrHeldAtItsEndIsFree();

private:
    // The settings page's side at login: the service, the registry, the built-in keys.
    void createService();
    void destroyService();
    // Presses `keys` (xdotool key names) and then the sentinel; the ids that fired before the
    // sentinel's, or {-1} when the sentinel never fired.
    QList<int> press(const QStringList &keys);

    const DesktopSession &m_desktop;
    OtherClient m_other;
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<GlobalHotKeys> m_service;
    std::unique_ptr<HotKeyRegistry> m_registry;
    std::unique_ptr<QSignalSpy> m_fired;
};

void TestGlobalHotKeys::initTestCase()
{
    QVERIFY2(!m_desktop.run("xdotool", {"version"}).isEmpty(), "xdotool is needed");
    QVERIFY(m_other.isValid());
}

void TestGlobalHotKeys::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_home->isValid());
    // Another program has the keyboard focus; there is no window manager to give it.
    m_desktop.run("xdotool", {"windowfocus", "--sync", m_other.window()});
    QCOMPARE(m_desktop.run("xdotool", {"getwindowfocus"}).trimmed(), m_other.window());
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
    roundTrip(QX11Info::connection()); // the server has seen what the service gave back
}

QList<int> TestGlobalHotKeys::press(const QStringList &keys)
{
    m_fired->clear();
    m_desktop.run("xdotool", QStringList {"key"} + keys << "alt+z");
    if (!QTest::qWaitFor(
            [this] { return !m_fired->isEmpty() && m_fired->last().at(0).toInt() == kSentinelId; },
            5000))
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
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("fired"); // times

    const int registered = int(HotKeyResult::Registered);
    QTest::newRow("Ctrl+digit, not the keypad digit")
        << 17 << 1 << registered << QStringList {"ctrl+KP_7", "ctrl+7"} << 1;
    QTest::newRow("Alt+letter") << 36 << 0 << registered << QStringList {"alt+q"} << 1;
    QTest::newRow("Ctrl+keypad 0, not the digit")
        << 46 << 1 << registered << QStringList {"ctrl+0", "ctrl+KP_0"} << 1;
    // Two keys of this keymap produce the keypad decimal (91 and 129); both are that key.
    QTest::newRow("Ctrl+keypad . on either key")
        << 60 << 1 << registered << QStringList {"ctrl+KP_Decimal", "ctrl+129"} << 2;
    QTest::newRow("Ctrl+keypad /") << 61 << 1 << registered << QStringList {"ctrl+KP_Divide"} << 1;
    QTest::newRow("with CapsLock on")
        << 8 << 1 << registered << QStringList {"Caps_Lock", "ctrl+F9", "Caps_Lock"} << 1;
    QTest::newRow("with NumLock on")
        << 8 << 1 << registered << QStringList {"Num_Lock", "ctrl+F9", "Num_Lock"} << 1;
    // "Enter" is the keypad separator, which Xvfb's keyboard does not have: neither Enter key.
    QTest::newRow("keypad separator, not on this keyboard")
        << 58 << 1 << int(HotKeyResult::KeyNotOnKeyboard)
        << QStringList {"ctrl+KP_Enter", "ctrl+Return"} << 0;
}

void TestGlobalHotKeys::firesWhileAnotherClientHasTheFocus()
{
    QFETCH(int, index);
    QFETCH(int, altSetting);
    QFETCH(int, result);
    QFETCH(QStringList, keys);
    QFETCH(int, fired);

    QCOMPARE(int(m_registry->changeKey(HotKey::Cash, index, altSetting)), result);
    QCOMPARE(press(keys), QVector<int>(fired, 5001).toList());
}

void TestGlobalHotKeys::ourOwnWindowKeepsEveryOtherKey()
{
    // With the focus in one of our own windows the combination still fires, and only it: the
    // other presses of its key are the window's.
    OwnWindow window;
    window.resize(200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    m_desktop.run("xdotool", {"windowfocus", "--sync", QString::number(window.winId())});

    QCOMPARE(press({"F9", "alt+F9", "ctrl+shift+F9", "ctrl+F9"}), QList<int>({5001}));
    QCOMPARE(window.f9Presses, 3);
}

void TestGlobalHotKeys::combinationHeldByAnotherClientIsRefusedAndLogged()
{
    // Held with NumLock only: the other lock states we could take are given back as well.
    QVERIFY(m_other.grab(XK_F7, {kControl | kNumLock}));
    QCOMPARE(m_registry->changeKey(HotKey::Report, 6, 1), HotKeyResult::TakenByOtherProgram);
    QFile log(QStringLiteral("tallyport.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(log.readAll())
                .contains(QStringLiteral("热键注册失败 Ctrl+F7 (5003): 已被其他程序占用")));
    m_other.ungrabAll();
    roundTrip(QX11Info::connection());
    QVERIFY(m_other.grab(XK_F7, kEveryLockState));
    m_other.ungrabAll();

    // Once the other program lets go, the modifier switch takes it.
    QCOMPARE(m_registry->changeModifier(HotKey::Report, 1), HotKeyResult::Registered);
    QCOMPARE(press({"ctrl+F7"}), QList<int>({5003}));
}

void TestGlobalHotKeys::whatAServiceGaveUpOrHeldAtItsEndIsFree()
{
    QCOMPARE(m_registry->changeKey(HotKey::Cash, 9, 1), HotKeyResult::Registered);
    roundTrip(QX11Info::connection());
    QVERIFY(m_other.grab(XK_F9, kEveryLockState));
    m_other.ungrabAll();
    destroyService();
    QVERIFY(m_other.grab(XK_F10, kEveryLockState));
    m_other.ungrabAll();

    // The next login's service takes the same keys.
    createService();
    QCOMPARE(press({"ctrl+F9", "ctrl+F1", "ctrl+F6"}), QList<int>({5001, 5002, 5003}));
}

int main(int argc, char *argv[])
{
    DesktopSession desktop; // before the application, which connects to its display
    if (!desktop.start()) {
        std::fprintf(stderr, "TestGlobalHotKeys: Xvfb did not start\n");
        return 1;
    }
    qputenv("DISPLAY", desktop.display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    TestGlobalHotKeys test(desktop);
    return QTest::qExec(&test, argc, argv);
}

#include "TestGlobalHotKeys.moc"
