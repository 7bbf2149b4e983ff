// The order list and refund pages on their own: check boxes as one radio group, paging and the
// actions on an order of page 2, orders that cannot be acted on, a failed query; the refund
// keypad, the Return key, refunds refused before any request. The gateway is a closed local
// port; what reaches a gateway is in tests/integration/TestQueryWindows.
#include "DateText.h"
#include "MetaTypes.h"
#include "OrderQueryWin.h"
#include "ReFundWin.h"
#include "Resources.h"
#include "TempHome.h"
#include "WindowScaling.h"
#include "collectionWin.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

#include <memory>

namespace {

// Orders 0 to count - 1: even ones WeChat Pay, odd ones Alipay, order i of 1 + i/100.
std::vector<OrderRecord> orders(int count)
{
    std::vector<OrderRecord> records;
    for (int i = 0; i < count; ++i) {
        records.push_back(
            {QStringLiteral("2026120710150010000%1").arg(i, 2, 10, QLatin1Char('0')).toStdString(),
                std::to_string(100 + i), i % 2 ? "ali" : "wx", "2026-12-07 10:15:00", "1", "1"});
    }
    return records;
}

template<typename T>
T *child(const QObject *parent, const QString &name)
{
    auto *found = parent->findChild<T *>(name);
    if (!found)
        qFatal("no %s", qPrintable(name));
    return found;
}

} // namespace

class TestOrderQueryWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void calendarOpensOnTheDayItsFieldShows_data();
    void calendarOpensOnTheDayItsFieldShows();
    void checkBoxesAreOneRadioGroup();
    void pagingAndActingOnRecordThirteen();
    void onlyPaidNormalOrdersCanBeActedOn_data();
    void onlyPaidNormalOrdersCanBeActedOn();
    void failedQueryKeepsTheList();
    void refundKeypad_data();
    void refundKeypad();
    void refundReturnKey();
    void refundRefusedBeforeAnyRequest_data();
    void refundRefusedBeforeAnyRequest();

private:
    QString cell(int row, int column) const;
    QCheckBox *box(int row) const;
    // The one checked row, -1 for none, -2 for more than one.
    int checkedRow() const;
    void clickRow(int row) const;
    void click(const QObject *page, const char *button) const;
    // Puts the refund page in a main window of its own; false if it does not get active.
    bool openRefundPage();
    QLineEdit *field(const char *name) const { return child<QLineEdit>(m_refund, name); }

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<OrderQueryWin> m_win;
    std::unique_ptr<QWidget> m_main;
    ReFundWin *m_refund = nullptr;
};

void TestOrderQueryWin::initTestCase()
{
    Resources::initialise();
    MetaTypes::registerAll();
}

void TestOrderQueryWin::init()
{
    m_home = std::make_unique<TempHome>();
    QVERIFY(m_home->isValid());
    QFile config(m_home->filePath(QStringLiteral("TallyportConfig.ini")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(
        "[GATEWAY_HOST]\r\ngateway_host=https://127.0.0.1:1\r\n[adbinfo]\r\nConnMode=9\r\n");
    config.close();
    WindowScaling::setScreenOverride(QSize(1366, 768));
    m_win = std::make_unique<OrderQueryWin>();
    m_win->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_win.get()));
}

void TestOrderQueryWin::cleanup()
{
    m_main.reset();
    m_refund = nullptr;
    m_win.reset();
    WindowScaling::setScreenOverride(QSize());
    m_home.reset();
}

QString TestOrderQueryWin::cell(int row, int column) const
{
    return child<QTableWidget>(m_win.get(), "tableWidget_message")->item(row, column)->text();
}

QCheckBox *TestOrderQueryWin::box(int row) const
{
    return child<QCheckBox>(m_win.get(),
        row == 0 ? QStringLiteral("checkBox") : QStringLiteral("checkBox_%1").arg(row + 1));
}

int TestOrderQueryWin::checkedRow() const
{
    int checked = -1;
    for (int row = 0; row < 10; ++row) {
        if (box(row)->isChecked())
            checked = checked == -1 ? row : -2;
    }
    return checked;
}

void TestOrderQueryWin::clickRow(int row) const
{
    auto *table = child<QTableWidget>(m_win.get(), "tableWidget_message");
    const QRect cellRect = table->visualRect(table->model()->index(row, 2));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cellRect.center());
}

void TestOrderQueryWin::click(const QObject *page, const char *button) const
{
    QTest::mouseClick(child<QPushButton>(page, button), Qt::LeftButton);
}

bool TestOrderQueryWin::openRefundPage()
{
    m_win.reset();
    m_main = std::make_unique<QWidget>();
    m_main->resize(700, 520);
    m_refund = new ReFundWin(m_main.get());
    m_main->show();
    QApplication::setActiveWindow(m_main.get());
    return QTest::qWaitForWindowActive(m_main.get());
}

void TestOrderQueryWin::calendarOpensOnTheDayItsFieldShows_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("calendar");
    QTest::addColumn<QString>("field");
    QTest::newRow("start") << "pushButton_starttime"
                           << "calendarWidget_starttime"
                           << "lineEdit_starttime";
    QTest::newRow("end") << "pushButton_endtime"
                         << "calendarWidget_endtime"
                         << "lineEdit_endtime";
}

void TestOrderQueryWin::calendarOpensOnTheDayItsFieldShows()
{
    QFETCH(QString, button);
    QFETCH(QString, calendar);
    QFETCH(QString, field);
    // A till whose system weeks begin on Monday; the calendars' Chinese weeks begin on Sunday.
    const QLocale systemLocale;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    m_win = std::make_unique<OrderQueryWin>();
    QLocale::setDefault(systemLocale);
    m_win->show();

    QTest::mouseClick(child<QPushButton>(m_win.get(), button), Qt::LeftButton);
    const auto *shown = child<QCalendarWidget>(m_win.get(), calendar);
    QVERIFY(shown->isVisible());
    const QModelIndexList highlighted
        = shown->findChild<QTableView *>()->selectionModel()->selectedIndexes();
    QCOMPARE(highlighted.size(), 1);
    const QDate date = shown->selectedDate();
    QCOMPARE(child<QLineEdit>(m_win.get(), field)->text(),
        DateText::display(1, date.year(), date.month(), highlighted.first().data().toInt()));
}

void TestOrderQueryWin::checkBoxesAreOneRadioGroup()
{
    m_win->showOrders(orders(3));
    clickRow(1);
    QCOMPARE(checkedRow(), 1);
    clickRow(2);
    QCOMPARE(checkedRow(), 2);
    box(0)->setChecked(true);
    QCOMPARE(checkedRow(), 0);
    // A blank row below the orders selects nothing.
    QVERIFY(box(5)->isHidden());
    clickRow(5);
    QCOMPARE(checkedRow(), -1);
}

void TestOrderQueryWin::pagingAndActingOnRecordThirteen()
{
    auto *label = child<QLabel>(m_win.get(), "pushButton_showpage");
    const QString empty = label->text();
    m_win->showOrders(orders(25));
    const QString pageOne = label->text();
    QVERIFY(pageOne != empty);

    click(m_win.get(), "pushButton_nextpage");
    QVERIFY(label->text() != pageOne);
    QCOMPARE(cell(0, 1), QStringLiteral("202612071015001000010"));
    clickRow(3);
    QCOMPARE(checkedRow(), 3);
    QSignalSpy printed(m_win.get(), &OrderQueryWin::SendPrintToParamSetting);
    click(m_win.get(), "pushButton_2");
    QCOMPARE(printed.count(), 1);
    QCOMPARE(QString::fromStdWString(printed.first().at(0).value<std::wstring>()),
        QStringLiteral("##ali#1.13#1.13#2026-12-07 10:15:00#202612071015001000013"));
    QGuiApplication::clipboard()->clear();
    m_win->rightClickedOperation();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("202612071015001000013"));

    // The last page shows what is left; next on it and previous on the first change nothing.
    click(m_win.get(), "pushButton_nextpage");
    QCOMPARE(cell(4, 1), QStringLiteral("202612071015001000024"));
    QCOMPARE(cell(5, 1), QString());
    QVERIFY(box(5)->isHidden());
    const QString lastPage = label->text();
    click(m_win.get(), "pushButton_nextpage");
    QCOMPARE(label->text(), lastPage);
    for (int i = 0; i < 3; ++i)
        click(m_win.get(), "pushButton_previouspage");
    QCOMPARE(label->text(), pageOne);
    QCOMPARE(cell(9, 1), QStringLiteral("202612071015001000009"));

    m_win->showOrders({});
    QCOMPARE(label->text(), empty);
    QCOMPARE(cell(0, 1), QString());
}

void TestOrderQueryWin::onlyPaidNormalOrdersCanBeActedOn_data()
{
    QTest::addColumn<QStringList>("row"); // status, order status, and how the two read

    QTest::newRow("status 2 shows paid") << QStringList {"2", "1", "支付成功", "正常"};
    QTest::newRow("refunded") << QStringList {"1", "2", "支付成功", "已退款"};
    QTest::newRow("cancelled") << QStringList {"0", "0", "未支付", "撤销"};
}

void TestOrderQueryWin::onlyPaidNormalOrdersCanBeActedOn()
{
    QFETCH(QStringList, row);
    m_win->showOrders({{"202612071015001000001", "1250", "wx", "2026-12-07 10:15:00",
        row.at(0).toStdString(), row.at(1).toStdString()}});
    QCOMPARE(cell(0, 5), row.at(2));
    QCOMPARE(cell(0, 6), row.at(3));
    clickRow(0);
    QCOMPARE(checkedRow(), 0);

    QSignalSpy printed(m_win.get(), &OrderQueryWin::SendPrintToParamSetting);
    click(m_win.get(), "pushButton_2"); // print
    click(m_win.get(), "pushButton"); // refund
    QCOMPARE(printed.count(), 0);
    QVERIFY(!m_win->busy());
}

void TestOrderQueryWin::failedQueryKeepsTheList()
{
    m_win->showOrders(orders(12));
    click(m_win.get(), "pushButton_query");
    QVERIFY(m_win->busy());
    QTRY_VERIFY_WITH_TIMEOUT(!m_win->busy(), 15000);
    QCOMPARE(m_win->pages().recordCount(), 12);
    QCOMPARE(cell(0, 1), QStringLiteral("202612071015001000000"));
}

void TestOrderQueryWin::refundKeypad_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("texts"); // order number, amount, remark

    QTest::newRow("no point in the order number")
        << "lineEdit_orderno"
        << QStringList {"pushButton_input1", "pushButton_input00", "pushButton_dot"}
        << QStringList {"7100", "5", "r"};
    QTest::newRow("a point in the amount")
        << "lineEdit_money" << QStringList {"pushButton_dot", "pushButton_input5"}
        << QStringList {"7", "5.5", "r"};
}

void TestOrderQueryWin::refundKeypad()
{
    QFETCH(QString, focus);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, texts);
    QVERIFY(openRefundPage());

    field("lineEdit_orderno")->setText(QStringLiteral("7"));
    field("lineEdit_money")->setText(QStringLiteral("5"));
    field("lineEdit_note")->setText(QStringLiteral("r"));
    field(qPrintable(focus))->setFocus();
    for (const QString &key : keys)
        click(m_refund, qPrintable(key));
    QCOMPARE((QStringList {field("lineEdit_orderno")->text(), field("lineEdit_money")->text(),
                 field("lineEdit_note")->text()}),
        texts);
}

void TestOrderQueryWin::refundReturnKey()
{
    // With an amount, Return goes to the order number while it is empty, then refunds.
    QVERIFY(openRefundPage());
    field("lineEdit_money")->setText(QStringLiteral("1"));
    field("lineEdit_note")->setFocus();
    QTest::keyClick(field("lineEdit_note"), Qt::Key_Return);
    QVERIFY(field("lineEdit_orderno")->hasFocus());
    QVERIFY(!m_refund->busy());
    field("lineEdit_orderno")->setText(QStringLiteral("202612071015001000001"));
    field("lineEdit_note")->setFocus();
    QTest::keyClick(field("lineEdit_note"), Qt::Key_Return);
    QVERIFY(m_refund->busy());
    QTRY_VERIFY_WITH_TIMEOUT(m_refund->resultCard()->isVisible(), 15000);
}

void TestOrderQueryWin::refundRefusedBeforeAnyRequest_data()
{
    QTest::addColumn<QString>("orderNumber");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("message");

    QTest::newRow("no order number") << "" << QStringList {} << "未输入订单号！";
    QTest::newRow("amount with two points")
        << "202612071015001000001"
        << QStringList {"pushButton_input1", "pushButton_dot", "pushButton_dot"}
        << "退款金额格式错误！";
}

void TestOrderQueryWin::refundRefusedBeforeAnyRequest()
{
    QFETCH(QString, orderNumber);
    QFETCH(QStringList, keys);
    QFETCH(QString, message);
    QVERIFY(openRefundPage());

    field("lineEdit_orderno")->setText(orderNumber);
    field("lineEdit_money")->setFocus();
    for (const QString &key : keys)
        click(m_refund, qPrintable(key));
    click(m_refund, "pushButton_yes");

    QVERIFY(!m_refund->busy());
    const collectionWin *card = m_refund->resultCard();
    QVERIFY(card->isVisible() && !card->successShown());
    QCOMPARE(child<QLabel>(card, "label_sq")->text(), message);
    QCOMPARE(field("lineEdit_orderno")->text(), orderNumber);
}

QTEST_MAIN(TestOrderQueryWin)
#include "TestOrderQueryWin.moc"
