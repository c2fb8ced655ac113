#include "LoginWindow.h"

#include "DevicesWindow.h"
#include "RegisterWindow.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

LoginWindow::LoginWindow(const Library &library, VamoManager &vamo, StoreManager &store,
    MessagePresenter &messages, QWidget *parent)
    : QDialog(parent)
    , m_logic(library, vamo, store, messages)
{
    setObjectName(QStringLiteral("LoginWindow"));
    setWindowTitle(QStringLiteral("ログイン"));
    setWindowModality(Qt::WindowModal);
    m_logic.view = this;

    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(QStringLiteral("<b>Tavro</b> にログイン"), this);
    layout->addWidget(title);
    auto *form = new QFormLayout;
    m_id = new QLineEdit(this);
    m_id->setObjectName(QStringLiteral("txtID"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("txtPass"));
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("ログインID"), m_id);
    form->addRow(QStringLiteral("パスワード"), m_password);
    layout->addLayout(form);

    auto *buttons = new QHBoxLayout;
    auto *registerBtn = new QPushButton(QStringLiteral("新規登録"), this);
    registerBtn->setObjectName(QStringLiteral("registerBtn"));
    auto *resetBtn = new QPushButton(QStringLiteral("パスワードを忘れた方"), this);
    resetBtn->setObjectName(QStringLiteral("pwdResetBtn"));
    auto *cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    auto *login = new QPushButton(QStringLiteral("ログイン"), this);
    login->setObjectName(QStringLiteral("login"));
    login->setDefault(true);
    buttons->addWidget(registerBtn);
    buttons->addWidget(resetBtn);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(login);
    layout->addLayout(buttons);

    connect(login, &QPushButton::clicked, this, [this] {
        m_logic.txtID = m_id->text();
        m_logic.txtPass = m_password->text();
        m_logic.tapLogin();
    });
    connect(cancel, &QPushButton::clicked, this, [this] { m_logic.tapCancel(); });
    connect(registerBtn, &QPushButton::clicked, this, [this] { m_logic.tapRegister(); });
    connect(resetBtn, &QPushButton::clicked, this, [this] { m_logic.resetPassword(); });
    resize(440, 200);
}

LoginWindow::~LoginWindow() = default;

void LoginWindow::setFields(const QString &loginId, const QString &password)
{
    m_id->setText(loginId);
    m_password->setText(password);
}

void LoginWindow::showDevicesSheet(DevicesWindowLogic &sheet)
{
    if (!m_devices)
        m_devices = new DevicesWindow(sheet, this);
    m_devices->redisp();
    m_devices->open();
}

void LoginWindow::closeDevicesSheet()
{
    if (m_devices)
        m_devices->hide();
}

void LoginWindow::showRegisterSheet(RegisterWindowLogic &sheet)
{
    if (!m_register)
        m_register = new RegisterWindow(sheet, this);
    m_register->load();
    m_register->open();
}

void LoginWindow::closeRegisterSheet()
{
    if (m_register)
        m_register->hide();
}
