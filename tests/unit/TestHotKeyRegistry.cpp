// The three global hot keys against a recording hot-key service: the key each combo index
// stands for, which combinations are held after start and after each change of key or
// modifier, and what the run log says when a registration fails.
// The real X11 service is tested in tests/platform/TestGlobalHotKeys.
#include "HotKeyRegistry.h"
#include "HotKeyTable.h"
#include "Settings.h"
#include "TempHome.h"

#include <QFile>
#include <QMap>
#include <QtTest>

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
        m_held.insert(id, QStringLiteral("%1 %2").arg(id).arg(combination));
        return HotKeyResult::Registered;
    }
    void unregisterHotKey(int id) override { m_held.remove(id); }
    // "5001 Ctrl+F9" per held id, in id order.
    QStringList held() const { return m_held.values(); }

private:
    Refusals m_refusals;
    QMap<int, QString> m_held;
};

// A change on the settings page: a new key index with its _ALT setting, or a new _ALT setting.
struct Change
{
    bool key = true;
    HotKey hotKey = HotKey::Cash;
    int index = 0;
    int altSetting = 1;
};
using Changes = QList<Change>;

Change key(HotKey hotKey, int index, int altSetting = 1)
{
    return {true, hotKey, index, altSetting};
}

Change modifier(HotKey hotKey, int altSetting)
{
    return {false, hotKey, 0, altSetting};
}

// The messages of the general run log, without their time stamps and trailers.
QStringList logMessages()
{
    QFile file(QStringLiteral("tallyport.log"));
    QStringList messages;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QString &line :
            QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts))
            messages << (line.endsWith("  Kovani") ? line.mid(22).chopped(8)
                                                   : "malformed: " + line);
    }
    return messages;
}

} // namespace

Q_DECLARE_METATYPE(Refusals)
Q_DECLARE_METATYPE(Changes)

class TestHotKeyRegistry : public QObject
{
    Q_OBJECT

private slots:
    void indexNamesTextAndKey_data();
    void indexNamesTextAndKey();
    void registrationRules_data();
    void registrationRules();
};

void TestHotKeyRegistry::indexNamesTextAndKey_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("virtualKey");

    QTest::newRow("F1") << 0 << " VK_F1" << 0x70;
    QTest::newRow("F10") << 9 << " VK_F10" << 0x79;
    QTest::newRow("digit 0") << 10 << " 0" << 0x30;
    QTest::newRow("digit 9") << 19 << " 9" << 0x39;
    QTest::newRow("A") << 20 << " A" << 0x41;
    QTest::newRow("Z") << 45 << " Z" << 0x5A;
    QTest::newRow("keypad 0") << 46 << " NUMBER_0" << 0x60;
    QTest::newRow("keypad 9") << 55 << " NUMBER_9" << 0x69;
    QTest::newRow("keypad *") << 56 << " *" << 0x6A;
    QTest::newRow("Enter is the keypad separator, not Return") << 58 << " Enter" << 0x6C;
    QTest::newRow("keypad /") << 61 << " /" << 0x6F;
    QTest::newRow("past the end") << 62 << QString() << 0;
    QTest::newRow("negative") << -1 << QString() << 0;
}

void TestHotKeyRegistry::indexNamesTextAndKey()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(int, virtualKey);

    QCOMPARE(HotKeyTable::keyTexts().value(index), text);
    QCOMPARE(HotKeyTable::virtualKey(index), virtualKey);
}

void TestHotKeyRegistry::registrationRules_data()
{
    QTest::addColumn<Refusals>("refusals");
    QTest::addColumn<Changes>("changes"); // after the start with the built-in keys
    QTest::addColumn<QStringList>("held");
    QTest::addColumn<QStringList>("log");

    const HotKey cash = HotKey::Cash;
    const HotKey receipt = HotKey::Receipt;
    const HotKey report = HotKey::Report;

    QTest::newRow("start with the built-in keys")
        << Refusals() << Changes() << QStringList {"5001 Ctrl+F9", "5002 Ctrl+F1", "5003 Ctrl+F6"}
        << QStringList();
    QTest::newRow("any _ALT setting but 1 is Alt")
        << Refusals()
        << Changes {key(cash, 8, 0), key(receipt, 0, 2), key(report, 5, -1), modifier(report, 11)}
        << QStringList {"5001 Alt+F9", "5002 Alt+F1", "5003 Alt+F6"} << QStringList();
    QTest::newRow("a new key leaves only the new combination")
        << Refusals() << Changes {key(cash, 9)}
        << QStringList {"5001 Ctrl+F10", "5002 Ctrl+F1", "5003 Ctrl+F6"} << QStringList();
    QTest::newRow("a new modifier keeps the key chosen last")
        << Refusals() << Changes {key(report, 20), modifier(report, 0)}
        << QStringList {"5001 Ctrl+F9", "5002 Ctrl+F1", "5003 Alt+A"} << QStringList();
    QTest::newRow("a key outside the list drops the old combination, and a new modifier too")
        << Refusals() << Changes {key(cash, 62), modifier(cash, 0)}
        << QStringList {"5002 Ctrl+F1", "5003 Ctrl+F6"}
        << QStringList {"热键未注册 (5001): 按键序号 62 不在 0-61 之内"};
    QTest::newRow("a combination given up can be taken by another hot key")
        << Refusals() << Changes {key(cash, 9), key(report, 8)}
        << QStringList {"5001 Ctrl+F10", "5002 Ctrl+F1", "5003 Ctrl+F9"} << QStringList();
    QTest::newRow("another hot key's combination is refused; with the other modifier it is free")
        << Refusals() << Changes {key(report, 8), modifier(report, 0)}
        << QStringList {"5001 Ctrl+F9", "5002 Ctrl+F1", "5003 Alt+F9"}
        << QStringList {"热键注册失败 Ctrl+F9 (5003): 已被本程序的热键 5001 占用"};

    QTest::newRow("held by another program: logged, and a new modifier still takes its key")
        << Refusals {{"Ctrl+F9", HotKeyResult::TakenByOtherProgram}} << Changes {modifier(cash, 0)}
        << QStringList {"5001 Alt+F9", "5002 Ctrl+F1", "5003 Ctrl+F6"}
        << QStringList {"热键注册失败 Ctrl+F9 (5001): 已被其他程序占用"};
    QTest::newRow("every other refusal is logged with its reason")
        << Refusals {{"Ctrl+F9", HotKeyResult::NoDisplay}, {"Ctrl+F6", HotKeyResult::Refused},
               {"Ctrl+Num Separator", HotKeyResult::KeyNotOnKeyboard}}
        << Changes {key(receipt, 58)} << QStringList()
        << QStringList {"热键注册失败 Ctrl+F9 (5001): 没有可用的显示服务器连接",
               "热键注册失败 Ctrl+F6 (5003): 显示服务器拒绝注册",
               "热键注册失败 Ctrl+Num Separator (5002): 当前键盘布局中没有这个键"};
}

void TestHotKeyRegistry::registrationRules()
{
    QFETCH(Refusals, refusals);
    QFETCH(Changes, changes);
    QFETCH(QStringList, held);
    QFETCH(QStringList, log);

    const TempHome home; // the run log goes there
    RecordingHotKeys service(refusals);
    HotKeyRegistry registry(service);
    registry.registerAll(ParamSettings());
    for (const Change &change : changes) {
        if (change.key)
            registry.changeKey(change.hotKey, change.index, change.altSetting);
        else
            registry.changeModifier(change.hotKey, change.altSetting);
    }
    QCOMPARE(service.held(), held);
    QCOMPARE(logMessages(), log);
}

QTEST_GUILESS_MAIN(TestHotKeyRegistry)
#include "TestHotKeyRegistry.moc"
