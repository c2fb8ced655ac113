// The application in a real window under Xvfb, against the local backend:
// the fixture the interface tests share.
#pragma once

#include "app/AppDelegate.h"
#include "core/content/BookUrl.h"
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/store/KeyChainStore.h"
#include "core/store/PackageInstaller.h"
#include "core/store/VamoManager.h"
#include "support/BackendProcess.h"
#include "support/Samples.h"
#include "support/Wait.h"
#include "support/ZipWriter.h"
#include "ui/app/MainWindow.h"
#include "ui/app/MsgBox.h"
#include "ui/shelf/ShelfVC.h"
#include "ui/store/DevicesWindow.h"

#include "core/platform/ConfigDictionary.h"
#include "ui/reader/EpubPane.h"
#include "ui/reader/ImageViewer.h"
#include "ui/reader/PdfPane.h"
#include "ui/shelf/QLBShelfManagerView.h"
#include "ui/shelf/QLBTableCellView.h"
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPdfDocument>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>
#include <functional>
#include <gtest/gtest.h>
#include <utility>

// Answers every message box with its first button, noting what it said and
// which screen was shown at that moment.
class BoxAnswerer
{
public:
    int button = 0; // the index of the button pressed
    struct Seen {
        QString title;
        QString message;
        QString screen;
    };
    QList<Seen> seen;
    std::function<QString()> currentScreen;
    // Runs once while the next box is open, before it is answered.
    std::function<void()> beforeAnswer;

    BoxAnswerer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                // Marked on the box itself: a new box may reuse a deleted
                // one's address.
                if (!box || !box->isVisible() || box->property("answered").toBool())
                    continue;
                box->setProperty("answered", true);
                seen.append(
                    { box->text(), box->informativeText(), currentScreen ? currentScreen() : QString() });
                if (auto before = std::exchange(beforeAnswer, nullptr))
                    before();
                if (!box->buttons().isEmpty())
                    box->buttons().value(button, box->buttons().first())->click();
            }
        });
        m_timer.start(30);
    }

private:
    QTimer m_timer;
};

class AppShellTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        backend = new BackendProcess;
        ASSERT_TRUE(backend->start()) << backend->error().toStdString();
        servers = new ServerConfig(backend->baseUrl(), QStringLiteral("/nonexistent.ini"));
    }
    static void TearDownTestSuite()
    {
        delete servers;
        delete backend;
    }
    void SetUp() override
    {
        ASSERT_TRUE(m_store.open(m_dir.filePath(QStringLiteral("Tavro.sqlite"))));
        UserDefaults::remove(QString::fromLatin1(UserDefaults::accountLift));
        KeyChainStore().writeToken(std::nullopt);
        m_answerer.currentScreen = [this] {
            return m_app && m_app->currentVC() ? m_app->currentVC()->objectName() : QStringLiteral("none");
        };
    }
    void TearDown() override
    {
        m_app.reset();
        KeyChainStore().writeToken(std::nullopt);
        m_store.close();
    }

    // The library the application is launched over.
    LibraryStore &store() { return m_store; }
    Library library() { return Library(m_store); }

    AppDelegate &launch()
    {
        m_app = std::make_unique<AppDelegate>(m_store, *servers);
        m_app->applicationDidFinishLaunching();
        return *m_app;
    }

    bool signInThroughTheSheet(const QString &id, const QString &password, std::optional<bool> *result)
    {
        m_app->takeToken([result](bool ok) { *result = ok; });
        if (!waitUntil([&] { return m_app->loginWindow() && m_app->loginWindow()->isVisible(); }))
            return false;
        LoginWindow *sheet = m_app->loginWindow();
        sheet->findChild<QLineEdit *>(QStringLiteral("txtID"))->setText(id);
        sheet->findChild<QLineEdit *>(QStringLiteral("txtPass"))->setText(password);
        sheet->findChild<QPushButton *>(QStringLiteral("login"))->click();
        return true;
    }

    static inline BackendProcess *backend = nullptr;
    static inline ServerConfig *servers = nullptr;
    QTemporaryDir m_dir;
    BoxAnswerer m_answerer;
    LibraryStore m_store; // outlives the application made over it
    std::unique_ptr<AppDelegate> m_app;
};

// Waits for the book view's result of `script` (in the page's own world).
inline QVariant pageValue(QWebEngineView *view, const QString &script)
{
    std::optional<QVariant> result;
    view->page()->runJavaScript(script, [&](const QVariant &v) { result = v; });
    waitUntil([&] { return result.has_value(); });
    return result.value_or(QVariant());
}
