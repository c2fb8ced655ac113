// The download sheet in the window: progress, cancel of a download and of a
// dictionary import; the store page blanked when left; the sign-out page.
#include "ui/store/DownloadSheet.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/store/DownLoader.h"
#include "core/store/StoreManager.h"
#include "ui/AppShellFixture.h"
#include "ui/store/StoreVC.h"

#include <QJsonDocument>
#include <QProgressBar>
#include <QRegularExpression>

namespace
{

class DownloadSheetTest : public AppShellTest
{
protected:
    DownloadSheet &sheet() { return m_app->downloadSheet(); }

    // A package with one dictionary of `rows` rows under `bookId`; the
    // first row's headword is `first`.
    QString dictionaryPackage(const QString &name, const QString &bookId, int rows, const QByteArray &first)
    {
        QByteArray csv = "word,meaning\n" + first + ",first\n";
        for (int i = 0; i < rows; ++i)
            csv += "term" + QByteArray::number(i) + ",meaning of term " + QByteArray::number(i) + "\n";
        const QVariantMap entry { { QStringLiteral("filename"), QStringLiteral("terms.dict") },
            { QStringLiteral("bookId"), bookId }, { QStringLiteral("bookTitle"), QStringLiteral("用語集") } };
        const QByteArray manifest = QJsonDocument::fromVariant(
            QVariantMap { { QStringLiteral("bookinfo"), QVariantList { entry } } })
                                        .toJson();
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(writeZip(path, { { "bookinfo.meta", manifest }, { "terms.dict", csv } }));
        return path;
    }

    bool hasEntry(const QString &word)
    {
        const auto rows = m_app->dictionaryManager().doSearchStr(word);
        if (!rows)
            return false;
        for (const QVariantMap &row : *rows)
            if (row.value(QStringLiteral("word")).toString() == word)
                return true;
        return false;
    }

    QString pageHtml(QWebEngineView *view)
    {
        QString text;
        bool done = false;
        view->page()->toHtml([&](const QString &html) {
            text = html;
            done = true;
        });
        waitUntil([&] { return done; });
        return text;
    }

    void signIn()
    {
        std::optional<bool> result;
        ASSERT_TRUE(signInThroughTheSheet(QStringLiteral("tanaka"), QStringLiteral("Tanaka-2026"), &result));
        ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
        ASSERT_TRUE(*result);
    }
};

TEST_F(DownloadSheetTest, ADownloadShowsItsSizeAndProgress)
{
    launch();
    const QString pdf = DataFolder::contentsFolder() + QStringLiteral("/nursing-notes.pdf");
    QStringList texts;
    int bestValue = 0;
    bool modal = false;
    QObject::connect(&sheet(), &DownloadSheet::changed, [&] {
        texts << sheet().progressLabel()->text();
        bestValue = std::max(bestValue, sheet().progressBar()->value());
        modal = modal || (sheet().isVisible() && sheet().isModal());
    });
    sheet().doDownload(
        QNetworkRequest(QUrl::fromLocalFile(sampleBookPath(QStringLiteral("nursing-notes.pdf")))));
    EXPECT_TRUE(sheet().isVisible());
    sheet().grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/download-sheet.png"));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(pdf) && !sheet().isVisible(); }, 30000));
    EXPECT_TRUE(modal) << "the sheet is modal on the main window";
    const QString mb = QString::asprintf("%.1fMB", QFileInfo(pdf).size() / 1048576.0);
    static const QRegularExpression sizeText(QStringLiteral("^\\d+\\.\\dMB / \\d+\\.\\dMB$"));
    const QStringList sizes = texts.filter(sizeText);
    ASSERT_FALSE(sizes.isEmpty()) << texts.join(u'|').toStdString();
    EXPECT_TRUE(sizes.last().endsWith(QStringLiteral(" / ") + mb)) << sizes.last().toStdString();
    EXPECT_EQ(bestValue, sheet().progressBar()->maximum()) << "the bar reached the end";
}

TEST_F(DownloadSheetTest, ACancelledDownloadInstallsNothingAndLeavesNoFile)
{
    launch();
    // The cancel button, and Esc on the sheet.
    const struct {
        const char *how;
        std::function<void(DownloadSheet &)> cancel;
    } ways[] = {
        { "button", [](DownloadSheet &s) { s.cancelButton()->click(); } },
        { "Esc", [](DownloadSheet &s) { QTest::keyClick(&s, Qt::Key_Escape); } },
    };
    for (const auto &way : ways) {
        SCOPED_TRACE(way.how);
        ASSERT_TRUE(backend->setFault({ { "path", "/files/slow-book.pdf" }, { "status", 200 },
            { "body", "%PDF-1.4\n1 0 obj << >> endobj\ntrailer << >>\n%%EOF\n" },
            { "contentType", "application/pdf" }, { "delayMs", 3000 } }));
        sheet().doDownload(
            QNetworkRequest(QUrl(backend->baseUrl() + QStringLiteral("/files/slow-book.pdf"))));
        ASSERT_TRUE(sheet().download());
        const QString tmp = sheet().download()->tmpFile;
        EXPECT_TRUE(QFileInfo::exists(tmp));
        ASSERT_TRUE(waitUntil([&] { return sheet().isVisible(); }));
        way.cancel(sheet());
        EXPECT_FALSE(sheet().isVisible());
        EXPECT_FALSE(QFileInfo::exists(tmp)) << "the temporary file is gone";
        ASSERT_TRUE(waitUntil([&] { return !sheet().download(); }));
        // Long enough for the late answer to have arrived, were it still
        // awaited.
        settle(3500);
        EXPECT_FALSE(QFileInfo::exists(DataFolder::contentsFolder() + QStringLiteral("/slow-book.pdf")));
        EXPECT_EQ(store().count<BookMetaData>(), 0);
        EXPECT_TRUE(m_answerer.seen.isEmpty()) << "a cancel shows no message";
        backend->resetFaults();
    }
}

TEST_F(DownloadSheetTest, CancellingADictionaryImportKeepsTheEarlierDictionary)
{
    launch();
    sheet().doDownload(QNetworkRequest(QUrl::fromLocalFile(
        dictionaryPackage(QStringLiteral("small.zip"), QStringLiteral("dict-x"), 10, "oldheadword"))));
    ASSERT_TRUE(waitUntil([&] { return hasEntry(QStringLiteral("oldheadword")); }, 30000));
    ASSERT_TRUE(waitUntil([&] { return !sheet().isVisible(); }));

    sheet().doDownload(QNetworkRequest(QUrl::fromLocalFile(
        dictionaryPackage(QStringLiteral("large.zip"), QStringLiteral("dict-x"), 300000, "newheadword"))));
    ASSERT_TRUE(waitUntil(
        [&] {
            return sheet().isVisible() && sheet().progressLabel()->text() == QStringLiteral("辞書解析中")
                && sheet().progressBar()->value() > 0;
        },
        60000))
        << "the import shows the share of rows read";
    EXPECT_TRUE(sheet().cancelButton()->isEnabled());
    sheet().grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/dictionary-import-sheet.png"));
    const int boxes = m_answerer.seen.size();
    sheet().cancelButton()->click();
    EXPECT_FALSE(sheet().cancelButton()->isEnabled()) << "asked once";
    ASSERT_TRUE(waitUntil([&] { return m_answerer.seen.size() > boxes; }, 60000));
    EXPECT_EQ(m_answerer.seen.at(boxes).message, DownloadSheetModel::kImportCancelled);
    ASSERT_TRUE(waitUntil([&] { return !sheet().isVisible(); }));
    EXPECT_TRUE(hasEntry(QStringLiteral("oldheadword"))) << "the earlier dictionary stays";
    EXPECT_FALSE(hasEntry(QStringLiteral("newheadword"))) << "nothing of the cancelled import";
}

TEST_F(DownloadSheetTest, AFileFromDiskLeavesTheStoreAlone)
{
    launch();
    m_app->changeToShelf();
    const int hitsBefore = backend->get(QStringLiteral("/analytics/hits")).json().toList().size();
    m_app->shelfVC()->importPdf(sampleBookPath(QStringLiteral("nursing-notes.pdf")));
    ASSERT_TRUE(waitUntil(
        [&] {
            return QFileInfo::exists(DataFolder::contentsFolder() + QStringLiteral("/nursing-notes.pdf"));
        },
        30000));
    ASSERT_TRUE(waitUntil([&] { return !sheet().isVisible(); }));
    EXPECT_FALSE(m_app->storeVC()) << "no store screen was made";
    EXPECT_EQ(m_app->currentVC(), m_app->shelfVC());
    EXPECT_FALSE(m_app->window()->windowTitle().contains(QStringLiteral("Store")));
    EXPECT_FALSE(m_app->loginWindow() && m_app->loginWindow()->isVisible()) << "no sign-in was asked";
    for (const QVariant &hit :
        backend->get(QStringLiteral("/analytics/hits")).json().toList().mid(hitsBefore))
        EXPECT_NE(hit.toMap().value(QStringLiteral("fields")).toMap().value(QStringLiteral("cd")),
            QStringLiteral("ストア"));

    // The same file again, and the overwrite question declined: the shelf
    // stays, under its own toolbar.
    const int boxes = m_answerer.seen.size();
    m_answerer.button = 1;
    m_app->shelfVC()->importPdf(sampleBookPath(QStringLiteral("nursing-notes.pdf")));
    ASSERT_TRUE(waitUntil([&] { return m_answerer.seen.size() > boxes; }, 30000));
    EXPECT_EQ(m_answerer.seen.at(boxes).screen, QStringLiteral("ShelfVC"));
    ASSERT_TRUE(waitUntil([&] { return !sheet().isVisible() && !sheet().download(); }));
    EXPECT_EQ(m_app->currentVC(), m_app->shelfVC());
    EXPECT_TRUE(m_app->shelfVC()->toolbar()->isVisible());
    EXPECT_FALSE(m_app->storeVC());
}

TEST_F(DownloadSheetTest, LeavingTheStoreBlanksItsPage)
{
    launch();
    signIn();
    m_app->changeToStore();
    StoreVC *store = m_app->storeVC();
    ASSERT_TRUE(
        waitUntil([&] { return pageHtml(store->web()).contains(QStringLiteral("catalogue")); }, 30000));
    m_app->changeToShelf();
    EXPECT_TRUE(waitUntil([&] { return !pageHtml(store->web()).contains(QStringLiteral("catalogue")); }));
    EXPECT_EQ(store->web()->url(), QUrl(QStringLiteral("about:blank")));
}

TEST_F(DownloadSheetTest, TheSignOutPageSignsOutAndSaysSo)
{
    launch();
    signIn();
    m_app->changeToStore();
    StoreVC *store = m_app->storeVC();
    ASSERT_TRUE(
        waitUntil([&] { return pageHtml(store->web()).contains(QStringLiteral("logout.php")); }, 30000));
    const int boxes = m_answerer.seen.size();
    store->web()->page()->runJavaScript(
        QStringLiteral("document.querySelector('a[href*=\"logout.php\"]').click()"));
    ASSERT_TRUE(waitUntil([&] { return m_answerer.seen.size() > boxes; }, 30000));
    EXPECT_EQ(m_answerer.seen.at(boxes).title, QStringLiteral("確認"));
    EXPECT_EQ(m_answerer.seen.at(boxes).message, QStringLiteral("ログアウトされました。"));
    EXPECT_EQ(m_answerer.seen.at(boxes).screen, QStringLiteral("TopVC")) << "the top screen is shown";
    EXPECT_TRUE(AccountSession::isLifted());
    EXPECT_FALSE(m_app->vamoManager().token().has_value()) << "signed out";
    EXPECT_FALSE(m_app->storeManager().token().has_value());
}

// When the sheet has gone the window takes keys again: the focus is in the
// screen shown, whether the download began on the shelf or on the store's
// page (whose web view had the focus), and a window shortcut works.
TEST_F(DownloadSheetTest, TheWindowTakesKeysAgainAfterTheSheet)
{
    launch();
    signIn(); // the store shows its pages, not the sign-in sheet
    MainWindow *window = m_app->window();
    const auto focusName = [] {
        QWidget *f = QApplication::focusWidget();
        QWidget *a = QApplication::activeWindow();
        QWindow *w = QGuiApplication::focusWindow();
        return (f ? QStringLiteral("%1 %2").arg(
                    QString::fromLatin1(f->metaObject()->className()), f->objectName())
                  : QStringLiteral("no focus"))
                   .toStdString()
            + ", active window: " + (a ? a->metaObject()->className() : "none")
            + ", focus window: " + (w ? w->metaObject()->className() : "none") + ", modal: "
            + (QApplication::activeModalWidget()
                    ? QApplication::activeModalWidget()->objectName().toStdString()
                    : std::string("none"));
    };
    const struct {
        const char *where;
        bool store;
    } starts[] = { { "shelf", false }, { "store page", true }, { "shelf again", false },
        { "store page again", true } };
    int n = 0;
    for (const auto &start : starts) {
        SCOPED_TRACE(start.where);
        if (start.store) {
            m_app->changeToStore();
            StoreVC *store = m_app->storeVC();
            // The page's own widget takes the focus, as a click on the page does.
            ASSERT_TRUE(waitUntil([&] { return store->web()->focusProxy() != nullptr; }, 30000));
            store->web()->setFocus();
        } else {
            m_app->changeToShelf();
        }
        window->activateWindow();
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == window; }));

        const QString name = QStringLiteral("focus-%1.pdf").arg(++n);
        const QString copy = m_dir.filePath(name);
        ASSERT_TRUE(QFile::copy(sampleBookPath(QStringLiteral("nursing-notes.pdf")), copy));
        const QString installed = DataFolder::contentsFolder() + u'/' + name;
        sheet().doDownload(QNetworkRequest(QUrl::fromLocalFile(copy)), start.store);
        ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(installed) && !sheet().isVisible(); }, 30000));
        ASSERT_EQ(m_app->currentVC(), m_app->shelfVC()) << "the shelf shows the new book";
        EXPECT_TRUE(waitUntil([&] {
            QWidget *f = QApplication::focusWidget();
            return QApplication::activeWindow() == window && f && m_app->currentVC()->isAncestorOf(f);
        })) << focusName();

        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        QTest::keyClick(target, Qt::Key_1, Qt::ControlModifier);
        EXPECT_EQ(m_app->currentVC(), m_app->topVC())
            << "Ctrl+1 shows the top screen; focus: " << focusName();
    }
}

} // namespace
