// Message boxes. show/error/info are application-modal and return when
// the user presses "OK"; ask is a sheet on the main window that returns at
// once and calls back; syncedAsk is the same sheet but waits for the answer.
// Texts are shown as given ("%" included), without control characters
// (displayText); the box is as wide as its longest line, up to half the
// screen. Button texts come from the application's translations, else Qt's.
// Main thread only.
#pragma once

#include "core/platform/MessagePresenter.h"

#include <QMessageBox>
#include <QString>
#include <functional>

class QFontMetrics;
class QWidget;

class MsgBox : public MessagePresenter
{
public:
    static void setMainWindow(QWidget *window);

    static void showMessage(const QString &message, const QString &title);
    static void errorMessage(const QString &message) { showMessage(message, QStringLiteral("Error")); }
    static void infoMessage(const QString &message) { showMessage(message, QString()); }
    static void ask(const QString &message, const QString &title, std::function<void(bool)> completion);
    static bool syncedAsk(const QString &message, const QString &title);

    // Runs `box` as a sheet of the main window and waits: 1000 + the index
    // of the pressed button among the box's buttons.
    static int runModalSheet(QMessageBox &box);

    // MessagePresenter, for the core.
    void show(const QString &message, const QString &title) override { showMessage(message, title); }

    // The width `text` takes on one line (its widest line), at most `limit`.
    static int lineWidth(const QFontMetrics &metrics, const QString &text, int limit);
    // "OK", "Cancel" in the interface's language; the text itself without a
    // translation.
    static QString buttonText(const char *text);

private:
    static QMessageBox *makeBox(const QString &message, const QString &title);
};
