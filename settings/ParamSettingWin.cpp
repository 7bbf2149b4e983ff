#include "ParamSettingWin.h"
#include "ui_ParamSettingWin.h"

#include "Language.h"
#include "NoteWin.h"
#include "Settings.h"
#include "Text.h"
#include "WindowScaling.h"

#include <QDebug>

ParamSettingWin::ParamSettingWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::ParamSettingWin>())
    , m_noteWin(new NoteWin)
    , m_language(kLanguageChinese)
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    setStyleSheet(QStringLiteral(
        "#ParamSettingWin { background-color: white; }"
        "QGroupBox { color: rgb(102,102,102); }"
        "QLabel { color: rgb(102,102,102); }"
        "#pushButton_yes { background-color: rgb(0,188,204); color: white; border-radius: 4px; }"
        "#pushButton_no { background-color: rgb(39,162,240); color: white; border-radius: 4px; }"
        "#pushButton_tczh { background-color: rgb(242,175,37); color: white; border-radius: 4px; "
        "}"));

    m_noteWin->hide();
    connect(m_noteWin, &NoteWin::SendToParamSetting, this, &ParamSettingWin::receiveNote);
    connect(m_ui->pushButton_no, &QPushButton::clicked, this, &ParamSettingWin::OnNo);
    connect(m_ui->pushButton_tczh, &QPushButton::clicked, this, &ParamSettingWin::OnExitUser);

    WindowScaling::scaleWidgetTree(this, WindowScaling::current());
}

ParamSettingWin::~ParamSettingWin()
{
    delete m_noteWin;
}

void ParamSettingWin::setClerkTel(const std::string &tel)
{
    m_clerkTel = tel;
}

void ParamSettingWin::setSessionInfo(const std::wstring &merchantName,
    const std::wstring &storeName, const std::wstring &storeManager,
    const std::wstring &managerPhone)
{
    m_merchantName = merchantName;
    m_storeName = storeName;
    m_storeManager = storeManager;
    m_managerPhone = managerPhone;
}

void ParamSettingWin::receiveDataFromMain()
{
    m_ui->lineEdit_username->setText(QLatin1Char(' ') + Text::fromLocal(m_clerkTel));
    m_ui->label_shmc->setText(QString::fromStdWString(m_merchantName));
    m_ui->label_mdmc->setText(QString::fromStdWString(m_storeName));
    m_ui->label_mdfzr->setText(QString::fromStdWString(m_storeManager));
    m_ui->label_fzrsj->setText(QString::fromStdWString(m_managerPhone));
}

void ParamSettingWin::receiveUpdateMsg()
{
    qDebug() << "RECEIVE UPDATE MSG";
    if (parentWidget())
        parentWidget()->hide();
}

void ParamSettingWin::OnNo()
{
    emit SendDataToPayWin();
}

void ParamSettingWin::OnExitUser()
{
    const int l = m_language;
    m_noteWin->setMode(2);
    m_noteWin->setIcon(false);
    m_noteWin->setTexts(Language::pick(l, "退出提示", "Exit the prompt", "Thông báo đăng xuất"),
        Language::pick(l, "       是否退出当前账号?", "Do you want to exit your\ncurrent account?",
            "Thoát khỏi tài khoản hiện tại?"),
        QString(), false);
    m_noteWin->setYesNoMode(
        Language::pick(l, "确定", "yes", "Xác nhận"), Language::pick(l, "取消", "no", "Hủy"));
    m_noteWin->centreOver(this);
    m_noteWin->show();
    m_noteWin->raise();
}

void ParamSettingWin::receiveNote()
{
    m_noteWin->hide();
    emit SendToLogin();
}

void ParamSettingWin::receiveMsgFromCheckStand(std::wstring data)
{
    m_lastReceipt = std::move(data);
}

void ParamSettingWin::receivePayPrint(std::wstring data)
{
    Q_UNUSED(data)
}

void ParamSettingWin::recvivePrint(std::wstring data)
{
    Q_UNUSED(data)
}
