#include "EntryController.h"

#include "core/store/VamoManager.h"
#include "core/util/Logging.h"
#include "ui/app/MsgBox.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

EntryController::EntryController(const ServerConfig &servers, VamoManager &vamo, QWidget *parent)
    : QDialog(parent)
    , m_form(servers)
    , m_vamo(vamo)
{
    setObjectName(QStringLiteral("EntryWindow"));
    setWindowTitle(QStringLiteral("エントリー"));
    setWindowModality(Qt::WindowModal);
    m_nameField = new QLineEdit(this);
    m_nameField->setObjectName(QStringLiteral("nameField"));
    m_mailField = new QLineEdit(this);
    m_mailField->setObjectName(QStringLiteral("mailField"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("お名前"), m_nameField);
    form->addRow(QStringLiteral("メール"), m_mailField);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *regist = buttons->addButton(QStringLiteral("エントリー"), QDialogButtonBox::AcceptRole);
    regist->setObjectName(QStringLiteral("registButton"));
    QPushButton *close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(regist, &QPushButton::clicked, this, &EntryController::registAction);
    connect(close, &QPushButton::clicked, this, &EntryController::closeAction);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void EntryController::setName(const QString &name, const QString &mail)
{
    m_nameField->setText(name);
    m_mailField->setText(mail);
}

void EntryController::registAction()
{
    const QString message
        = m_form.entry(m_vamo.token().value_or(QString()), query, m_nameField->text(), m_mailField->text());
    MsgBox::showMessage(message, QString());
    done(1);
}
