// The interface in one language, sized to its Japanese texts: Qt's own
// dialogs and buttons, message boxes, the update and notice windows.
#include "core/app/QtTranslations.h"
#include "core/app/UpdateCheck.h"
#include "core/store/LoginWindowLogic.h"
#include "support/DarkPalette.h"
#include "ui/AppShellFixture.h"
#include "ui/app/UpdateWindows.h"

#include <QDialogButtonBox>
#include <QFileDialog>

namespace
{

// Qt's Japanese texts, as main() loads them (once for the process).
void loadQtTranslations()
{
    static const QStringList loaded = QtTranslations::install(*QCoreApplication::instance());
    ASSERT_TRUE(loaded.contains(QStringLiteral("qtbase")))
        << "no qtbase_ja.qm in " << QtTranslations::defaultFolder().toStdString();
}

QStringList buttonTexts(const QWidget &w)
{
    QStringList texts;
    for (const QAbstractButton *b : w.findChildren<QAbstractButton *>())
        texts << b->text().remove(u'&');
    return texts;
}

// The palettes a person looks at the windows in.
struct NamedPalette {
    const char *name;
    QPalette palette;
};
QList<NamedPalette> palettes()
{
    return { { "light", QApplication::palette() }, { "dark", darkPalette() } };
}

TEST(JapaneseInterface, QtDialogsAndButtonsAreInJapanese)
{
    loadQtTranslations();
    QFileDialog files(nullptr, QStringLiteral("開く"));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setFileMode(QFileDialog::ExistingFile);
    EXPECT_TRUE(buttonTexts(files).contains(QStringLiteral("キャンセル")))
        << buttonTexts(files).join(u'|').toStdString();

    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Close);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(box.button(QDialogButtonBox::Close)->text(), QStringLiteral("閉じる"));

    QMessageBox question;
    question.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.button(QMessageBox::Yes)->text().remove(u'&'), QStringLiteral("はい(Y)"));
    EXPECT_EQ(MsgBox::buttonText("Cancel"), QStringLiteral("キャンセル")) << "the message boxes' own buttons";
}

// A short Japanese sentence stays on one line, drawn without the control
// character the stored text carries; OK / キャンセル under it.
TEST_F(AppShellTest, MessageBoxesFitTheirText)
{
    loadQtTranslations();
    launch();
    for (const NamedPalette &p : palettes()) {
        SCOPED_TRACE(p.name);
        const QPalette before = QApplication::palette();
        QApplication::setPalette(p.palette);
        QString shown;
        int labelWidth = 0;
        int textWidth = 0;
        QStringList buttons;
        m_answerer.beforeAnswer = [&] {
            QMessageBox *box = nullptr;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
                    box = b;
            auto *info
                = box ? box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")) : nullptr;
            if (!info)
                return;
            waitUntil([&] { return info->isVisible() && info->width() > 0; });
            shown = info->text();
            labelWidth = info->width();
            textWidth = info->fontMetrics().horizontalAdvance(shown);
            buttons = buttonTexts(*box);
            box->grab().save(
                QStringLiteral(TAVRO_ARTIFACTS_DIR "/message-box-%1.png").arg(QLatin1String(p.name)));
        };
        m_answerer.button = 1;
        EXPECT_FALSE(
            MsgBox::syncedAsk(LoginWindowLogic::kDeviceLimitError, LoginWindowLogic::kDeviceLimitTitle));
        QApplication::setPalette(before);
        EXPECT_EQ(shown, QString(LoginWindowLogic::kDeviceLimitError).remove(QChar(0x0008)));
        EXPECT_GE(labelWidth, textWidth) << "one line";
        EXPECT_EQ(buttons, (QStringList { QStringLiteral("OK"), QStringLiteral("キャンセル") }));
    }
    m_answerer.button = 0;
}

// The update and the notice open one after the other, each wide enough for
// its text on one line and for its title.
TEST_F(AppShellTest, UpdateAndNoticeShowOneAfterTheOther)
{
    UserDefaults::remove(QString::fromLatin1(UserDefaults::macNotification));
    // The manifest offers 1.0.0: an update for 0.9.0, while the check runs.
    const struct OlderVersion {
        QString kept = QApplication::applicationVersion();
        OlderVersion() { QApplication::setApplicationVersion(QStringLiteral("0.9.0")); }
        ~OlderVersion() { QApplication::setApplicationVersion(kept); }
    } older;
    launch();
    QPointer<UpdateWindow> update;
    ASSERT_TRUE(waitUntil(
        [&] {
            update = m_app->window()->findChild<UpdateWindow *>();
            return update && update->isVisible();
        },
        30000));
    QPointer<QLBNotificationWindow> notice = m_app->window()->findChild<QLBNotificationWindow *>();
    ASSERT_TRUE(notice);
    ASSERT_TRUE(waitUntil([&] { return notice->remoteVersion > 0; }, 30000)) << "the notice has arrived";
    EXPECT_FALSE(notice->isVisible()) << "it waits for the update window";

    const auto fits = [](QDialog &window, const QString &name) {
        auto *text = window.findChild<QLabel *>();
        ASSERT_TRUE(text);
        EXPECT_GE(text->width(), text->fontMetrics().horizontalAdvance(text->text())) << "one line";
        const int title = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar"))
                              .horizontalAdvance(window.windowTitle());
        EXPECT_GE(window.width(), title + 100) << "the title and the window manager's buttons";
        for (const NamedPalette &p : palettes()) {
            window.setPalette(p.palette);
            window.grab().save(
                QStringLiteral(TAVRO_ARTIFACTS_DIR "/%1-%2.png").arg(name, QLatin1String(p.name)));
        }
        window.setPalette(QPalette());
    };
    fits(*update, QStringLiteral("update-window"));
    update->close();
    ASSERT_TRUE(waitUntil([&] { return notice->isVisible(); }));
    EXPECT_FALSE(update) << "gone before the notice shows";
    fits(*notice, QStringLiteral("notice-window"));
    notice->close();
}

} // namespace
