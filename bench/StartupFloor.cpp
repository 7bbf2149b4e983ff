// The start-up floor: the least a Qt Widgets program does to show a login window like the
// till's. A 520x480 window with the same heading, two line edits and a 12-key keypad; no
// configuration, no network, no resources.
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Tallyport"));
    window.setFixedSize(520, 480);
    auto *column = new QVBoxLayout(&window);
    auto *title = new QLabel(QStringLiteral("收银系统"));
    title->setAlignment(Qt::AlignCenter);
    title->setStyleSheet(QStringLiteral("font: bold 22pt \"Arial\";"));
    column->addWidget(title);
    auto *user = new QLineEdit;
    user->setPlaceholderText(QStringLiteral(" 账号"));
    column->addWidget(user);
    auto *password = new QLineEdit;
    password->setPlaceholderText(QStringLiteral(" 密码"));
    password->setEchoMode(QLineEdit::Password);
    column->addWidget(password);
    auto *keys = new QGridLayout;
    const QStringList labels
        = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
            QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"),
            QStringLiteral("9"), QStringLiteral("."), QStringLiteral("0"), QStringLiteral("00")};
    for (int i = 0; i < labels.size(); ++i)
        keys->addWidget(new QPushButton(labels.at(i)), i / 3, i % 3);
    column->addLayout(keys);
    column->addWidget(new QPushButton(QStringLiteral("登录")));
    window.show();
    return app.exec();
}
