// The global hot keys where there is no X11 connection (the offscreen platform of the widget
// tests): every registration fails, is logged, and nothing crashes.
#include "GlobalHotKeys.h"
#include "HotKeyRegistry.h"
#include "Settings.h"
#include "TempHome.h"

#include <QFile>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QtTest>

class TestGlobalHotKeysOffscreen : public QObject
{
    Q_OBJECT

private slots:
    void registrationFailsAndIsLogged();
};

void TestGlobalHotKeysOffscreen::registrationFailsAndIsLogged()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    TempHome home;
    {
        GlobalHotKeys service;
        HotKeyRegistry registry(service);
        registry.registerAll(ParamSettings());
        QCOMPARE(registry.changeModifier(HotKey::Cash, 0), HotKeyResult::NoDisplay);
        service.unregisterHotKey(5001);
    }
    QCoreApplication::processEvents();

    QFile log(QStringLiteral("tallyport.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    for (const char *line : {"热键注册失败 Ctrl+F9 (5001): 没有可用的显示服务器连接",
             "热键注册失败 Ctrl+F1 (5002): 没有可用的显示服务器连接",
             "热键注册失败 Ctrl+F6 (5003): 没有可用的显示服务器连接",
             "热键注册失败 Alt+F9 (5001): 没有可用的显示服务器连接"})
        QVERIFY2(text.contains(QString::fromUtf8(line)), line);
}

QTEST_MAIN(TestGlobalHotKeysOffscreen)
#include "TestGlobalHotKeysOffscreen.moc"
