// The order list page on its own: the check boxes as one radio group with the row colours,
// paging with the buttons and the label, actions on a selected order of page 2, what a paid
// but not refundable order allows, the date pickers, and the wide view of the main window.
// The gateway is a closed local port: a query fails at once and changes nothing.
#include "OrderQueryWin.h"
#include "PayWin.h"
#include "Resources.h"
#include "TempHome.h"
#include "WindowScaling.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include <memory>

namespace {

const QColor kOddRow(246, 248, 253);
const QColor kEvenRow(255, 255, 255);
const QColor kSelectedRow(232, 245, 243);
const QColor kSelectedText(20, 121, 215);
const QColor kRowText(102, 102, 102);

std::vector<OrderRecord> orders(int count)
{
    std::vector<OrderRecord> records;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        records.push_back({"2026120710150010000" + std::string(2 - n.size(), '0') + n,
            std::to_string(100 + i), i % 2 ? "ali" : "wx", "2026-12-07 10:15:00", "1", "1"});
    }
    return records;
}

} // namespace

class TestOrderQueryWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void checkBoxesAreOneRadioGroupWithRowColours();
    void clickingABlankRowChecksNothing();
    void pagingButtonsAndLabel();
    void pageTwoRowThreeActsOnRecordThirteen();
    void paidButNotNormalOrdersCannotBeActedOn_data();
    void paidButNotNormalOrdersCannotBeActedOn();
    void failedQueryKeepsTheList();
    void datePickers();
    void wideViewFitsTheMainWindow_data();
    void wideViewFitsTheMainWindow();

private:
    QTableWidget *table() const;
    QCheckBox *box(int row) const;
    void clickRow(int row) const;
    void click(const char *button) const;
    QString cell(int row, int column) const;
    void verifyRowColours(int row, const QColor &background, const QColor &text) const;

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<OrderQueryWin> m_win;
};

void TestOrderQueryWin::initTestCase()
{
    Resources::initialise();
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
    m_win.reset();
    WindowScaling::setScreenOverride(QSize());
    m_home.reset();
}

QTableWidget *TestOrderQueryWin::table() const
{
    return m_win->findChild<QTableWidget *>(QStringLiteral("tableWidget_message"));
}

QCheckBox *TestOrderQueryWin::box(int row) const
{
    const QString name
        = row == 0 ? QStringLiteral("checkBox") : QStringLiteral("checkBox_%1").arg(row + 1);
    auto *check = m_win->findChild<QCheckBox *>(name);
    if (!check)
        qFatal("no check box %s", qPrintable(name));
    return check;
}

void TestOrderQueryWin::clickRow(int row) const
{
    const QRect cellRect = table()->visualRect(table()->model()->index(row, 2));
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, cellRect.center());
}

void TestOrderQueryWin::click(const char *button) const
{
    auto *push = m_win->findChild<QPushButton *>(QLatin1String(button));
    if (!push)
        qFatal("no button %s", button);
    QTest::mouseClick(push, Qt::LeftButton);
}

QString TestOrderQueryWin::cell(int row, int column) const
{
    return table()->item(row, column)->text();
}

void TestOrderQueryWin::verifyRowColours(
    int row, const QColor &background, const QColor &text) const
{
    for (int column = 1; column < 8; ++column) {
        QCOMPARE(table()->item(row, column)->background().color(), background);
        QCOMPARE(table()->item(row, column)->foreground().color(), text);
    }
}

void TestOrderQueryWin::checkBoxesAreOneRadioGroupWithRowColours()
{
    m_win->showOrders(orders(15));
    QWidget *rowTwoCell = table()->cellWidget(2, 0);
    QVERIFY(rowTwoCell);

    clickRow(2);
    QVERIFY(box(2)->isChecked());
    verifyRowColours(2, kSelectedRow, kSelectedText);
    QCOMPARE(rowTwoCell->styleSheet(), QStringLiteral("background:rgba(232, 245, 243,1);"));

    clickRow(4);
    QVERIFY(box(4)->isChecked());
    for (int row = 0; row < 10; ++row)
        QCOMPARE(box(row)->isChecked(), row == 4);
    verifyRowColours(2, kEvenRow, kRowText);
    QCOMPARE(rowTwoCell->styleSheet(), QString());

    // Row 9 checked and unchecked again gets its own (odd-row) colours back.
    box(9)->setChecked(true);
    QVERIFY(!box(4)->isChecked());
    verifyRowColours(9, kSelectedRow, kSelectedText);
    box(9)->setChecked(false);
    verifyRowColours(9, kOddRow, kRowText);
    QCOMPARE(table()->cellWidget(9, 0)->styleSheet(),
        QStringLiteral("background:rgba(246, 248, 253,1);"));
}

void TestOrderQueryWin::clickingABlankRowChecksNothing()
{
    m_win->showOrders(orders(3));
    clickRow(1);
    QVERIFY(box(1)->isChecked());
    QVERIFY(box(5)->isHidden());
    clickRow(5);
    for (int row = 0; row < 10; ++row)
        QVERIFY(!box(row)->isChecked());
}

void TestOrderQueryWin::pagingButtonsAndLabel()
{
    auto *label = m_win->findChild<QLabel *>(QStringLiteral("pushButton_showpage"));
    QVERIFY(label);
    const QString zero = label->text();
    QVERIFY(zero.startsWith(QStringLiteral("共 ")));

    m_win->showOrders(orders(11));
    QVERIFY(label->text().contains(QStringLiteral(">11</font> 条记录")));
    QVERIFY(label->text().endsWith(QStringLiteral(">1</font> 页")));
    QCOMPARE(cell(9, 1), QStringLiteral("202612071015001000009"));
    QCOMPARE(cell(0, 2), QStringLiteral("1"));
    QCOMPARE(cell(0, 3), QStringLiteral("微信"));
    QCOMPARE(cell(1, 3), QStringLiteral("支付宝"));
    QCOMPARE(cell(0, 5), QStringLiteral("支付成功"));
    QCOMPARE(cell(0, 6), QStringLiteral("正常"));

    click("pushButton_nextpage");
    QCOMPARE(m_win->pages().currentPage(), 2);
    QCOMPARE(cell(0, 1), QStringLiteral("202612071015001000010"));
    QCOMPARE(cell(1, 1), QString());
    QVERIFY(!box(0)->isHidden());
    QVERIFY(box(1)->isHidden());
    const QString pageTwo = label->text();
    QVERIFY(pageTwo.endsWith(QStringLiteral(">2</font> 页")));

    // Next on the last page and previous on the first change nothing.
    click("pushButton_nextpage");
    QCOMPARE(m_win->pages().currentPage(), 2);
    QCOMPARE(label->text(), pageTwo);
    click("pushButton_previouspage");
    click("pushButton_previouspage");
    QCOMPARE(m_win->pages().currentPage(), 1);
    QCOMPARE(cell(9, 1), QStringLiteral("202612071015001000009"));

    m_win->showOrders({});
    QCOMPARE(label->text(), zero);
    QCOMPARE(cell(0, 1), QString());
}

void TestOrderQueryWin::pageTwoRowThreeActsOnRecordThirteen()
{
    m_win->showOrders(orders(25));
    click("pushButton_nextpage");
    clickRow(3);
    QVERIFY(box(3)->isChecked());

    QSignalSpy printed(m_win.get(), &OrderQueryWin::SendPrintToParamSetting);
    click("pushButton_2");
    QCOMPARE(printed.count(), 1);
    QCOMPARE(QString::fromStdWString(printed.first().at(0).value<std::wstring>()),
        QStringLiteral("##ali#1.13#1.13#2026-12-07 10:15:00#202612071015001000013"));

    QGuiApplication::clipboard()->clear();
    m_win->rightClickedOperation();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("202612071015001000013"));
}

void TestOrderQueryWin::paidButNotNormalOrdersCannotBeActedOn_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("orderStatus");
    QTest::addColumn<QString>("shownStatus");
    QTest::addColumn<QString>("shownOrderStatus");

    QTest::newRow("status 2 shows paid") << "2"
                                         << "1"
                                         << "支付成功"
                                         << "正常";
    QTest::newRow("refunded") << "1"
                              << "2"
                              << "支付成功"
                              << "已退款";
    QTest::newRow("cancelled") << "0"
                               << "0"
                               << "未支付"
                               << "撤销";
}

void TestOrderQueryWin::paidButNotNormalOrdersCannotBeActedOn()
{
    QFETCH(QString, status);
    QFETCH(QString, orderStatus);
    QFETCH(QString, shownStatus);
    QFETCH(QString, shownOrderStatus);

    m_win->showOrders({{"202612071015001000001", "1250", "wx", "2026-12-07 10:15:00",
        status.toStdString(), orderStatus.toStdString()}});
    QCOMPARE(cell(0, 5), shownStatus);
    QCOMPARE(cell(0, 6), shownOrderStatus);
    clickRow(0);
    QVERIFY(box(0)->isChecked());

    QSignalSpy printed(m_win.get(), &OrderQueryWin::SendPrintToParamSetting);
    click("pushButton_2");
    click("pushButton");
    QCOMPARE(printed.count(), 0);
    QVERIFY(!m_win->busy());
}

void TestOrderQueryWin::failedQueryKeepsTheList()
{
    m_win->showOrders(orders(12));
    click("pushButton_query");
    QVERIFY(m_win->busy());
    // A second query while the first runs is not sent.
    click("pushButton_query");
    QTRY_VERIFY_WITH_TIMEOUT(!m_win->busy(), 15000);
    QCOMPARE(m_win->pages().recordCount(), 12);
    QCOMPARE(cell(0, 1), QStringLiteral("202612071015001000000"));
}

void TestOrderQueryWin::datePickers()
{
    auto *start = m_win->findChild<QCalendarWidget *>(QStringLiteral("calendarWidget_starttime"));
    auto *end = m_win->findChild<QCalendarWidget *>(QStringLiteral("calendarWidget_endtime"));
    auto *startText = m_win->findChild<QLineEdit *>(QStringLiteral("lineEdit_starttime"));
    QVERIFY(start && end && startText);
    const QDate today = QDate::currentDate();
    QCOMPARE(startText->text(),
        QStringLiteral(" %1年%2月%3日").arg(today.year()).arg(today.month()).arg(today.day()));
    QVERIFY(!startText->isEnabled());
    QVERIFY(start->isHidden() && end->isHidden());

    click("pushButton_starttime");
    QVERIFY(start->isVisible());
    click("pushButton_endtime");
    QVERIFY(start->isHidden());
    QVERIFY(end->isVisible());
    click("pushButton_endtime");
    QVERIFY(end->isHidden());

    click("pushButton_starttime");
    start->setSelectedDate(QDate(2019, 7, 5));
    QVERIFY(start->isHidden());
    QCOMPARE(startText->text(), QStringLiteral(" 2019年7月5日"));

    click("pushButton_endtime");
    QTest::mouseClick(m_win.get(), Qt::LeftButton, {}, QPoint(5, m_win->height() - 5));
    QVERIFY(end->isHidden());
}

void TestOrderQueryWin::wideViewFitsTheMainWindow_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("firstColumn");
    QTest::newRow("1366 x 768") << QSize(1366, 768) << 30;
    QTest::newRow("1920 x 1080") << QSize(1920, 1080) << 40;
}

void TestOrderQueryWin::wideViewFitsTheMainWindow()
{
    QFETCH(QSize, screen);
    QFETCH(int, firstColumn);
    m_win.reset();
    WindowScaling::setScreenOverride(screen);
    PayWin payWin;
    payWin.OnShowOrderQuery();
    payWin.show();
    QVERIFY(QTest::qWaitForWindowExposed(&payWin));
    OrderQueryWin *orders = payWin.orderQueryWin();
    QVERIFY(orders->isVisible());

    const auto *grid = orders->findChild<QTableWidget *>(QStringLiteral("tableWidget_message"));
    QCOMPARE(grid->columnWidth(0), firstColumn);
    int columns = 0;
    for (int column = 0; column < 8; ++column)
        columns += grid->columnWidth(column);
    QVERIFY2(columns <= grid->viewport()->width(), qPrintable(QString::number(columns)));

    // Every widget of the page shows whole inside the main window, clear of its close button.
    const QRect frame = payWin.rect();
    const auto *close = payWin.findChild<QPushButton *>(QStringLiteral("pushButton_close"));
    for (QObject *child : orders->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (!widget || widget->isWindow() || !widget->isVisible())
            continue;
        const QRect placed(widget->mapTo(&payWin, QPoint(0, 0)), widget->size());
        QVERIFY2(frame.contains(placed), qPrintable(widget->objectName()));
        QVERIFY2(!placed.intersects(close->geometry()), qPrintable(widget->objectName()));
    }
}

QTEST_MAIN(TestOrderQueryWin)
#include "TestOrderQueryWin.moc"
