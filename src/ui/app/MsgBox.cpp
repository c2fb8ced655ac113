#include "MsgBox.h"

#include "core/util/StringHelpers.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

namespace
{
QPointer<QWidget> mainWindow;
}

void MsgBox::setMainWindow(QWidget *window)
{
    mainWindow = window;
}

QString MsgBox::buttonText(const char *text)
{
    // The application's own table first, then Qt's (loaded at start), which
    // has "キャンセル" for "Cancel".
    const QString own = QCoreApplication::translate("MsgBox", text);
    return own != QLatin1String(text) ? own : QCoreApplication::translate("QPlatformTheme", text);
}

int MsgBox::lineWidth(const QFontMetrics &metrics, const QString &text, int limit)
{
    int widest = 0;
    for (const QString &line : text.split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    // A pixel more than the advance: the last glyph's overhang.
    return std::min(widest + 2, limit);
}

QMessageBox *MsgBox::makeBox(const QString &message, const QString &title)
{
    auto *box = new QMessageBox(mainWindow);
    box->setObjectName(QStringLiteral("MsgBox"));
    box->setIcon(QMessageBox::NoIcon);
    // Plain text: "%" and markup-like text are shown as they are. Control
    // characters the stored texts carry would be drawn as boxes.
    box->setTextFormat(Qt::PlainText);
    box->setText(displayText(title));
    box->setInformativeText(displayText(message));
    box->setWindowTitle(QCoreApplication::applicationName());
    // Qt wraps Japanese text (a break is allowed between any two characters)
    // at the width of the buttons: the box is as wide as its longest line,
    // up to half the screen, where it wraps.
    const QScreen *screen = mainWindow ? mainWindow->screen() : QGuiApplication::primaryScreen();
    const int limit = screen ? std::max(320, screen->availableGeometry().width() / 2) : 640;
    for (const char *name : { "qt_msgbox_label", "qt_msgbox_informativelabel" }) {
        if (auto *label = box->findChild<QLabel *>(QLatin1String(name)); label && !label->text().isEmpty())
            label->setMinimumWidth(lineWidth(label->fontMetrics(), label->text(), limit));
    }
    return box;
}

void MsgBox::showMessage(const QString &message, const QString &title)
{
    QMessageBox *box = makeBox(message, title);
    box->addButton(buttonText("OK"), QMessageBox::AcceptRole);
    box->setWindowModality(Qt::ApplicationModal);
    box->exec();
    box->deleteLater();
}

void MsgBox::ask(const QString &message, const QString &title, std::function<void(bool)> completion)
{
    QMessageBox *box = makeBox(message, title);
    QPushButton *ok = box->addButton(buttonText("OK"), QMessageBox::AcceptRole);
    box->addButton(buttonText("Cancel"), QMessageBox::RejectRole);
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
    box->addButton(buttonText("OK"), QMessageBox::AcceptRole);
    box->addButton(buttonText("Cancel"), QMessageBox::RejectRole);
    const int code = runModalSheet(*box);
    box->deleteLater();
    return code != 1001;
}
