// The three global hot keys against a recording hot-key service: which combinations are held
// after start and after each change of key or modifier, what is written to the run log when a
// registration fails, and what a fired id asks for. The real X11 service is tested in
// tests/platform/TestGlobalHotKeys.
#include "HotKeyRegistry.h"
#include "HotKeyTable.h"
#include "Settings.h"
#include "TempHome.h"

#include <QFile>
#include <QMap>
#include <QtTest>

#include <memory>

namespace {

using Refusals = QMap<QString, HotKeyResult>; // combination name -> the service's answer

// Holds what it is given, except the combinations it is told to refuse.
class RecordingHotKeys final : public HotKeyBackend
{
public:
    explicit RecordingHotKeys(const Refusals &refusals)
        : m_refusals(refusals)
    { }

    HotKeyResult registerHotKey(int id, int modifiers, int virtualKey) override
    {
        const QString combination = HotKeyTable::combinationText(modifiers, virtualKey);
        if (m_refusals.contains(combination))
            return m_refusals.value(combination);
        m_held.insert(id, combination);
        return HotKeyResult::Registered;
    }

    void unregisterHotKey(int id) override { m_held.remove(id); }

    // "5001 Ctrl+F9" per held id, in id order.
    QStringList held() const
    {
        QStringList lines;
        for (auto it = m_held.cbegin(); it != m_held.cend(); ++it)
            lines.append(QStringLiteral("%1 %2").arg(it.key()).arg(it.value()));
        return lines;
    }

private:
    Refusals m_refusals;
    QMap<int, QString> m_held;
};

struct Change
{
    bool key = true; // a new key index, else a new _ALT setting
    HotKey hotKey = HotKey::Cash;
    int value = 0;
};
using Changes = QList<Change>;

Change key(HotKey hotKey, int index)
{
    return {true, hotKey, index};
}

Change modifier(HotKey hotKey, int altSetting)
{
    return {false, hotKey, altSetting};
}

ParamSettings startKeys(
    int cash, int cashAlt, int receipt, int receiptAlt, int report, int reportAlt)
{
    ParamSettings settings;
    settings.cashHotkey = cash;
    settings.cashHotkeyAlt = cashAlt;
    settings.receiptHotkey = receipt;
    settings.receiptHotkeyAlt = receiptAlt;
    settings.reportHotkey = report;
    settings.reportHotkeyAlt = reportAlt;
    return settings;
}

// The messages of the general run log, without their time stamps and trailers.
QStringList logMessages()
{
    QFile file(QStringLiteral("tallyport.log"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList messages;
    const QString stampAndBlanks = QStringLiteral("YYYY-MM-DD hh:mm:ss   ");
    const QString trailer = QStringLiteral("  Kovani");
    for (const QString &line :
        QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        if (line.endsWith(trailer))
            messages.append(line.mid(stampAndBlanks.size()).chopped(trailer.size()));
        else
            messages.append(QStringLiteral("malformed: ") + line);
    }
    return messages;
}

} // namespace

Q_DECLARE_METATYPE(Refusals)
Q_DECLARE_METATYPE(Changes)
Q_DECLARE_METATYPE(ParamSettings)
Q_DECLARE_METATYPE(HotKeyAction)

class TestHotKeyRegistry : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void modifierOfTheAltSetting_data();
    void modifierOfTheAltSetting();
    void registrationRules_data();
    void registrationRules();
    void firedIdMeans_data();
    void firedIdMeans();

private:
    std::unique_ptr<TempHome> m_home;
};

void TestHotKeyRegistry::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_home->isValid());
}

void TestHotKeyRegistry::cleanup()
{
    m_home.reset();
}

void TestHotKeyRegistry::modifierOfTheAltSetting_data()
{
    QTest::addColumn<int>("altSetting");
    QTest::addColumn<QString>("held");

    QTest::newRow("1 is Ctrl") << 1 << "5001 Ctrl+F9";
    QTest::newRow("0 is Alt") << 0 << "5001 Alt+F9";
    QTest::newRow("2 is Alt") << 2 << "5001 Alt+F9";
    QTest::newRow("-1 is Alt") << -1 << "5001 Alt+F9";
    QTest::newRow("11 is Alt") << 11 << "5001 Alt+F9";
}

void TestHotKeyRegistry::modifierOfTheAltSetting()
{
    QFETCH(int, altSetting);
    QFETCH(QString, held);

    // The same setting through the combo (new key) and through the radio buttons.
    RecordingHotKeys viaKey({});
    HotKeyRegistry(viaKey).changeKey(HotKey::Cash, 8, altSetting);
    QCOMPARE(viaKey.held(), QStringList {held});

    RecordingHotKeys viaModifier({});
    HotKeyRegistry registry(viaModifier);
    registry.changeKey(HotKey::Cash, 8, altSetting == 1 ? 0 : 1);
    registry.changeModifier(HotKey::Cash, altSetting);
    QCOMPARE(viaModifier.held(), QStringList {held});
}

void TestHotKeyRegistry::registrationRules_data()
{
    QTest::addColumn<ParamSettings>("start");
    QTest::addColumn<Refusals>("refusals");
    QTest::addColumn<Changes>("changes");
    QTest::addColumn<QStringList>("held");
    QTest::addColumn<QStringList>("log");

    const ParamSettings builtIn;
    const QStringList builtInHeld {"5001 Ctrl+F9", "5002 Ctrl+F1", "5003 Ctrl+F6"};
    const HotKey cash = HotKey::Cash;
    const HotKey receipt = HotKey::Receipt;
    const HotKey report = HotKey::Report;

    QTest::newRow("start with the built-in keys")
        << builtIn << Refusals() << Changes() << builtInHeld << QStringList();
    QTest::newRow("start from a file without hot-key keys: Alt+F1 goes to the cash key only")
        << startKeys(0, 0, 0, 0, 0, 0) << Refusals() << Changes() << QStringList {"5001 Alt+F1"}
        << QStringList {"热键注册失败 Alt+F1 (5002): 已被本程序的热键 5001 占用",
               "热键注册失败 Alt+F1 (5003): 已被本程序的热键 5001 占用"};
    QTest::newRow("start with an index outside the list")
        << startKeys(70, 1, 9, 0, 36, 1) << Refusals() << Changes()
        << QStringList {"5002 Alt+F10", "5003 Ctrl+Q"}
        << QStringList {"热键未注册 (5001): 按键序号 70 不在 0-61 之内"};

    QTest::newRow("a new key leaves only the new combination")
        << builtIn << Refusals() << Changes {key(cash, 9)}
        << QStringList {"5001 Ctrl+F10", "5002 Ctrl+F1", "5003 Ctrl+F6"} << QStringList();
    QTest::newRow("Enter registers the keypad separator")
        << builtIn << Refusals() << Changes {key(receipt, 58)}
        << QStringList {"5001 Ctrl+F9", "5002 Ctrl+Num Separator", "5003 Ctrl+F6"} << QStringList();
    QTest::newRow("Ctrl to Alt leaves only Alt")
        << builtIn << Refusals() << Changes {modifier(receipt, 0)}
        << QStringList {"5001 Ctrl+F9", "5002 Alt+F1", "5003 Ctrl+F6"} << QStringList();
    QTest::newRow("a new modifier keeps the key chosen last")
        << builtIn << Refusals() << Changes {key(report, 20), modifier(report, 0)}
        << QStringList {"5001 Ctrl+F9", "5002 Ctrl+F1", "5003 Alt+A"} << QStringList();
    QTest::newRow("a key outside the list drops the old combination")
        << builtIn << Refusals() << Changes {key(cash, 62)}
        << QStringList {"5002 Ctrl+F1", "5003 Ctrl+F6"}
        << QStringList {"热键未注册 (5001): 按键序号 62 不在 0-61 之内"};
    QTest::newRow("and a new modifier then registers nothing")
        << builtIn << Refusals() << Changes {key(cash, -1), modifier(cash, 0)}
        << QStringList {"5002 Ctrl+F1", "5003 Ctrl+F6"}
        << QStringList {"热键未注册 (5001): 按键序号 -1 不在 0-61 之内"};

    QTest::newRow("another hot key's combination is refused and logged")
        << builtIn << Refusals() << Changes {key(report, 8)}
        << QStringList {"5001 Ctrl+F9", "5002 Ctrl+F1"}
        << QStringList {"热键注册失败 Ctrl+F9 (5003): 已被本程序的热键 5001 占用"};
    QTest::newRow("a combination given up can be taken by another hot key")
        << builtIn << Refusals() << Changes {key(cash, 9), key(report, 8)}
        << QStringList {"5001 Ctrl+F10", "5002 Ctrl+F1", "5003 Ctrl+F9"} << QStringList();
    QTest::newRow("the same combination with the other modifier is free")
        << builtIn << Refusals() << Changes {key(report, 8), modifier(report, 0)}
        << QStringList {"5001 Ctrl+F9", "5002 Ctrl+F1", "5003 Alt+F9"}
        << QStringList {"热键注册失败 Ctrl+F9 (5003): 已被本程序的热键 5001 占用"};

    QTest::newRow("held by another program: silent, logged")
        << builtIn << Refusals {{"Ctrl+F9", HotKeyResult::TakenByOtherProgram}} << Changes()
        << QStringList {"5002 Ctrl+F1", "5003 Ctrl+F6"}
        << QStringList {"热键注册失败 Ctrl+F9 (5001): 已被其他程序占用"};
    QTest::newRow("a refused key is still the one a new modifier registers")
        << builtIn << Refusals {{"Ctrl+F9", HotKeyResult::TakenByOtherProgram}}
        << Changes {modifier(cash, 0)}
        << QStringList {"5001 Alt+F9", "5002 Ctrl+F1", "5003 Ctrl+F6"}
        << QStringList {"热键注册失败 Ctrl+F9 (5001): 已被其他程序占用"};
    QTest::newRow("no such key on the keyboard")
        << builtIn << Refusals {{"Ctrl+Num Separator", HotKeyResult::KeyNotOnKeyboard}}
        << Changes {key(receipt, 58)} << QStringList {"5001 Ctrl+F9", "5003 Ctrl+F6"}
        << QStringList {"热键注册失败 Ctrl+Num Separator (5002): 当前键盘布局中没有这个键"};
    QTest::newRow("no display") << builtIn << Refusals {{"Ctrl+F6", HotKeyResult::NoDisplay}}
                                << Changes() << QStringList {"5001 Ctrl+F9", "5002 Ctrl+F1"}
                                << QStringList {
                                       "热键注册失败 Ctrl+F6 (5003): 没有可用的显示服务器连接"};
    QTest::newRow("refused by the display server for another reason")
        << builtIn << Refusals {{"Ctrl+F1", HotKeyResult::Refused}} << Changes()
        << QStringList {"5001 Ctrl+F9", "5003 Ctrl+F6"}
        << QStringList {"热键注册失败 Ctrl+F1 (5002): 显示服务器拒绝注册"};
}

void TestHotKeyRegistry::registrationRules()
{
    QFETCH(ParamSettings, start);
    QFETCH(Refusals, refusals);
    QFETCH(Changes, changes);
    QFETCH(QStringList, held);
    QFETCH(QStringList, log);

    RecordingHotKeys service(refusals);
    HotKeyRegistry registry(service);
    registry.registerAll(start);
    for (const Change &change : changes) {
        if (change.key)
            registry.changeKey(change.hotKey, change.value, 1);
        else
            registry.changeModifier(change.hotKey, change.value);
    }
    QCOMPARE(service.held(), held);
    QCOMPARE(logMessages(), log);
}

void TestHotKeyRegistry::firedIdMeans_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("printSetting");
    QTest::addColumn<HotKeyAction>("action");

    QTest::newRow("cash") << 5001 << 0 << HotKeyAction::ShowCheckout;
    QTest::newRow("cash, printing off") << 5001 << 1 << HotKeyAction::ShowCheckout;
    QTest::newRow("receipt") << 5002 << 0 << HotKeyAction::ReprintReceipt;
    QTest::newRow("receipt, printing off: consumed")
        << 5002 << 1 << HotKeyAction::ReceiptNotPrinted;
    QTest::newRow("receipt, PRINT 2 prints") << 5002 << 2 << HotKeyAction::ReprintReceipt;
    QTest::newRow("report") << 5003 << 0 << HotKeyAction::ShowReport;
    QTest::newRow("another id") << 5004 << 0 << HotKeyAction::NotOurs;
    QTest::newRow("zero") << 0 << 0 << HotKeyAction::NotOurs;
}

void TestHotKeyRegistry::firedIdMeans()
{
    QFETCH(int, id);
    QFETCH(int, printSetting);
    QFETCH(HotKeyAction, action);

    QCOMPARE(HotKeyRegistry::actionFor(id, printSetting), action);
}

QTEST_GUILESS_MAIN(TestHotKeyRegistry)
#include "TestHotKeyRegistry.moc"
