#include "MsgBox.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QPushButton>

namespace
{
QPointer<QWidget> mainWindow;
}

void MsgBox::setMainWindow(QWidget *window)
{
    mainWindow = window;
}

QMessageBox *MsgBox::makeBox(const QString &message, const QString &title)
{
    auto *box = new QMessageBox(mainWindow);
    box->setObjectName(QStringLiteral("MsgBox"));
    box->setIcon(QMessageBox::NoIcon);
    // Plain text: "%" and markup-like text are shown as they are.
    box->setTextFormat(Qt::PlainText);
    box->setText(title);
    box->setInformativeText(message);
    box->setWindowTitle(QCoreApplication::applicationName());
    return box;
}

void MsgBox::showMessage(const QString &message, const QString &title)
{
    QMessageBox *box = makeBox(message, title);
    box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setWindowModality(Qt::ApplicationModal);
    box->exec();
    box->deleteLater();
}

void MsgBox::ask(const QString &message, const QString &title, std::function<void(bool)> completion)
{
    QMessageBox *box = makeBox(message, title);
    QPushButton *ok = box->addButton(QCoreApplication::translate("MsgBox", "OK"), QMessageBox::AcceptRole);
    box->addButton(QCoreApplication::translate("MsgBox", "Cancel"), QMessageBox::RejectRole);
    box->setWindowModality(Qt::WindowModal);
    QObject::connect(box, &QMessageBox::finished, box, [box, ok, completion = std::move(completion)](int) {
        if (completion)
            completion(box->clickedButton() == ok);
        box->deleteLater();
    });
    box->open();
}

int MsgBox::runModalSheet(QMessageBox &box)
{
    box.setWindowModality(Qt::WindowModal);
    QEventLoop loop;
    int code = 1000;
    QObject::connect(&box, &QMessageBox::finished, &loop, [&](int) {
        code = 1000 + int(box.buttons().indexOf(box.clickedButton()));
        loop.quit();
    });
    box.open();
    loop.exec();
    box.hide();
    return code;
}

bool MsgBox::syncedAsk(const QString &message, const QString &title)
{
    QMessageBox *box = makeBox(message, title);
    box->addButton(QCoreApplication::translate("MsgBox", "OK"), QMessageBox::AcceptRole);
    box->addButton(QCoreApplication::translate("MsgBox", "Cancel"), QMessageBox::RejectRole);
    const int code = runModalSheet(*box);
    box->deleteLater();
    return code != 1001;
}
