// The reader screen.
#include "core/dictionary/DictionaryManager.h"
#include "core/reader/ReadingTheme.h"
#include "ui/AppShellFixture.h"
#include "ui/reader/ReaderDictMenu.h"
#include "ui/reader/ReaderDictVC.h"

#include <QActionGroup>
#include <QFile>
#include <QTextBrowser>
#include <QToolTip>

namespace
{

// Stands in for the user's browser.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

// The sample book in the reader, its first document loaded.
QPointer<ReaderVC> openAnatomy(AppDelegate &app)
{
    app.config().remove(QStringLiteral("r_split")); // the default outline width
    app.changeToReader(ShelfVC::bookInfo(app.library(), QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = app.readerVC();
    if (!reader || !reader->epubPane())
        return nullptr;
    // Loaded and laid out in the window, as a person sees it.
    if (!waitUntil([&] {
            QWebEngineView *view = reader->epubPane()->web();
            return view->url().scheme() == u"epub" && view->isVisible() && view->width() > 400;
        })) {
        QWebEngineView *view = reader->epubPane()->web();
        qWarning() << "not laid out:" << view->url() << view->isVisible() << view->size() << reader->size()
                   << reader->epubPane()->splitter()->sizes() << reader->epubPane()->splashShown();
        return nullptr;
    }
    return reader;
}

// The page's first heading is in the document.
bool headingShown(EpubPane *pane)
{
    return waitUntil(
        [&] { return pageValue(pane->web(), QStringLiteral("!!document.querySelector('h1')")).toBool(); });
}

// Selects the page's first heading, as a person dragging over it would.
bool selectHeading(EpubPane *pane)
{
    pane->web()->page()->runJavaScript(
        QStringLiteral("window.getSelection().selectAllChildren(document.querySelector('h1'))"));
    return waitUntil([&] { return pane->web()->hasSelection(); });
}

TEST_F(AppShellTest, ReaderOpensAtTheSavedPageAndLogsTheOpening)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    BookStatusData saved;
    saved.BookID = 1;
    saved.lastOpenPage = 1;
    EXPECT_TRUE(store().insert(saved));

    QPointer<ReaderVC> reader = openAnatomy(*m_app);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->page(), 1);
    const auto opened = store().findFirst<AccessBookLog>();
    ASSERT_TRUE(opened.has_value()) << "opening records an access log entry";
    EXPECT_EQ(opened->bookId, QStringLiteral("urn:tavro:anatomy-basics"));
    EXPECT_EQ(opened->bookTitle, QStringLiteral("Anatomy Basics"));
}

TEST_F(AppShellTest, ReaderPagingStopsAtBothEnds)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = openAnatomy(*m_app);
    ASSERT_TRUE(reader);
    auto label = [&] { return reader->pageLabel()->text(); };
    ASSERT_TRUE(waitUntil([&] { return !label().isEmpty(); }));
    const int pages = label().section(u'/', 1).toInt();
    ASSERT_GT(pages, 1);
    for (int i = 0; i < pages + 2; ++i)
        reader->goToPage(reader->page() + 1);
    EXPECT_EQ(reader->page(), pages - 1);
    EXPECT_TRUE(waitUntil([&] { return label() == QStringLiteral("%1/%1").arg(pages); }))
        << label().toStdString();
    for (int i = 0; i < pages + 2; ++i)
        reader->goToPage(reader->page() - 1);
    EXPECT_EQ(reader->page(), 0);
    EXPECT_TRUE(waitUntil(
        [&] { return reader->epubPane()->web()->url().path().endsWith(QStringLiteral("chapter01.xhtml")); }));
}

QTreeWidgetItem *outlineRow(ReaderVC *reader, const QString &title)
{
    for (QTreeWidgetItemIterator it(reader->epubPane()->outline()); *it; ++it)
        if ((*it)->text(0).startsWith(title))
            return *it;
    return nullptr;
}

TEST_F(AppShellTest, ReaderOutlineRowsGrowWhenThePaneNarrows)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = openAnatomy(*m_app);
    ASSERT_TRUE(reader);
    EpubPane *pane = reader->epubPane();
    QTreeWidgetItem *cardiac = outlineRow(reader, QStringLiteral("Cardiac Cycle"));
    ASSERT_TRUE(cardiac);
    QSplitter *split = pane->splitter();
    split->setSizes({ 400, split->width() - 400 });
    ASSERT_TRUE(
        waitUntil([&] { return pane->outline()->width() >= 390 && !pane->outlineRelayoutPending(); }));
    const int wide = pane->outline()->visualItemRect(cardiac).height();
    EXPECT_GE(wide, 20);
    split->setSizes({ 90, split->width() - 90 });
    EXPECT_TRUE(waitUntil([&] { return pane->outline()->visualItemRect(cardiac).height() > wide; }))
        << wide << " at 400 wide, " << pane->outline()->visualItemRect(cardiac).height() << " at 90";
}

TEST_F(AppShellTest, ReaderOutlineRowLoadsItsDocument)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = openAnatomy(*m_app);
    ASSERT_TRUE(reader);
    EpubPane *pane = reader->epubPane();
    ASSERT_TRUE(waitUntil([&] { return !reader->pageLabel()->text().isEmpty(); }));
    const int pages = reader->pageLabel()->text().section(u'/', 1).toInt();
    QTreeWidgetItem *cardiac = outlineRow(reader, QStringLiteral("Cardiac Cycle"));
    ASSERT_TRUE(cardiac);
    const QString content = cardiac->data(0, Qt::UserRole).toString().section(u'#', 0, 0);
    bool loaded = false;
    QObject::connect(pane->web(), &QWebEngineView::loadFinished, reader, [&](bool ok) { loaded = ok; });
    pane->openOutlineItem(cardiac);
    ASSERT_TRUE(waitUntil([&] { return loaded && pane->web()->url().path().endsWith(content); }));
    EXPECT_EQ(reader->pageLabel()->text(), QStringLiteral("%1/%2").arg(reader->page() + 1).arg(pages));
    EXPECT_GT(reader->page(), 0);
    EXPECT_TRUE(waitUntil([&] {
        return pane->outline()->currentItem()
            && pane->outline()->currentItem()->data(0, Qt::UserRole).toString().section(u'#', 0, 0)
            == content;
    })) << "the row follows the shown document";
}

TEST_F(AppShellTest, ReaderContextMenuOnlyWithASelection)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = openAnatomy(*m_app);
    ASSERT_TRUE(reader);
    EpubPane *pane = reader->epubPane();
    ASSERT_TRUE(headingShown(pane));
    QMenu menu;
    pane->fillContextMenu(&menu);
    EXPECT_TRUE(menu.isEmpty());
    ASSERT_TRUE(selectHeading(pane));
    pane->fillContextMenu(&menu);
    ASSERT_FALSE(menu.actions().isEmpty());
    EXPECT_EQ(menu.actions().first()->text(), QStringLiteral("コピー"));
}

// A selection with dictionary entries: the context menu offers "辞書",
// which opens the pop-over with the entry; the look-up key does the same,
// and says what it needs when nothing is selected.
TEST_F(AppShellTest, ReaderLooksTheSelectionUpInTheDictionaries)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = openAnatomy(*m_app);
    ASSERT_TRUE(reader);
    EpubPane *pane = reader->epubPane();
    ASSERT_TRUE(headingShown(pane));
    ASSERT_TRUE(selectHeading(pane));
    const QString heading = pane->web()->selectedText().trimmed();
    ASSERT_FALSE(heading.isEmpty());

    QMenu before;
    reader->addSelectionItems(&before, QPoint());
    EXPECT_FALSE(before.findChild<QAction *>(QStringLiteral("dictItem"))) << "no dictionary yet";

    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("terms.csv"));
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    // The whole heading, and its first word for a double click.
    f.write(QStringLiteral("見出し,意味\r\n%1,the heading's entry\r\n%2,the first word's entry\r\n")
                .arg(heading, heading.section(u' ', 0, 0))
                .toUtf8());
    f.close();
    ASSERT_TRUE(m_app->dictionaryManager().expandDic(csv,
        { { QStringLiteral("bookId"), QStringLiteral("terms") },
            { QStringLiteral("bookTitle"), QStringLiteral("terms") } },
        csv));

    QMenu menu;
    reader->addSelectionItems(&menu, pane->web()->mapToGlobal(QPoint(200, 100)));
    ASSERT_GE(menu.actions().size(), 3);
    EXPECT_EQ(menu.actions().first()->text(), QStringLiteral("コピー"));
    QAction *dict = menu.actions().at(1);
    EXPECT_EQ(dict->text(), QStringLiteral("辞書"));
    EXPECT_TRUE(menu.actions().last()->isSeparator());
    dict->trigger();
    ASSERT_TRUE(reader->dictMenu()->dictVC());
    ReaderDictVC *vc = reader->dictMenu()->dictVC();
    ASSERT_TRUE(waitUntil([&] { return vc->isVisible(); }));
    EXPECT_TRUE(vc->text()->toPlainText().contains(QStringLiteral("the heading's entry")))
        << vc->text()->toPlainText().toStdString();
    vc->close();
    ASSERT_TRUE(waitUntil([&] { return !vc->isVisible(); }));

    QWidget *window = reader->window();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(waitUntil([&] { return vc->isVisible(); })) << "the look-up key";
    vc->close();
    ASSERT_TRUE(waitUntil([&] { return !vc->isVisible(); }));

    // A double click on a word of the heading looks it up too.
    const QVariantList word = pageValue(pane->web(),
        QStringLiteral("var h = document.querySelector('h1'); var range = document.createRange();"
                       "range.setStart(h.firstChild, 0); range.setEnd(h.firstChild, 1);"
                       "var r = range.getBoundingClientRect(); [r.left + r.width / 2, r.top + r.height / 2]"))
                                  .toList();
    ASSERT_EQ(word.size(), 2);
    const qreal zoom = pane->web()->zoomFactor();
    const QPoint at(int(word.at(0).toDouble() * zoom), int(word.at(1).toDouble() * zoom));
    QWidget *input = pane->web()->focusProxy();
    ASSERT_TRUE(input);
    QTest::mouseClick(input, Qt::LeftButton, {}, at);
    QTest::mousePress(input, Qt::LeftButton, {}, at);
    QTest::mouseDClick(input, Qt::LeftButton, {}, at);
    QTest::mouseRelease(input, Qt::LeftButton, {}, at);
    EXPECT_TRUE(waitUntil([&] { return vc->isVisible(); }))
        << "double click on " << pane->web()->selectedText().toStdString();
    vc->close();
    ASSERT_TRUE(waitUntil([&] { return !vc->isVisible(); }));

    pane->web()->page()->runJavaScript(QStringLiteral("window.getSelection().removeAllRanges()"));
    ASSERT_TRUE(waitUntil([&] { return !pane->web()->hasSelection(); }));
    QTest::keyClick(window, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(waitUntil([&] { return QToolTip::text() == QStringLiteral("辞書で引く語を選んでください"); }))
        << "without a selection the key says what it needs: " << QToolTip::text().toStdString();
    EXPECT_FALSE(vc->isVisible());
}

// A theme lays its colours over the page and every page after it, the
// choices show the choice, day gives the book its own colours back, and the key
// steps to the next theme, kept for later books.
TEST_F(AppShellTest, ReaderThemeRecoloursEveryPageAndIsKept)
{
    launch();
    const QString defaultsKey = QString::fromLatin1(ReadingTheme::kDefaultsKey);
    UserDefaults::remove(defaultsKey);
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = openAnatomy(*m_app);
    ASSERT_TRUE(reader);
    EpubPane *pane = reader->epubPane();
    ASSERT_TRUE(headingShown(pane));
    // The page's address with its body's background, read together so an
    // answer from the page before cannot pass for the next one.
    const auto looks = [&] {
        return pageValue(pane->web(),
            QStringLiteral("location.href + ' ' + getComputedStyle(document.body).backgroundColor"))
            .toString();
    };
    const QString night = QStringLiteral(" rgb(27, 29, 33)");

    reader->chooseReadingTheme(QStringLiteral("night"));
    EXPECT_EQ(reader->readingTheme(), ReadingTheme::Night);
    const QString first = pane->web()->url().toString();
    EXPECT_TRUE(waitUntil([&] { return looks() == first + night; })) << looks().toStdString();
    QActionGroup *choices = reader->themeChoices();
    ASSERT_TRUE(choices);
    for (QAction *item : choices->actions())
        EXPECT_EQ(item->isChecked(), item->data().toString() == u"night") << item->text().toStdString();

    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-night-epub.png"));

    reader->tapDir(1);
    ASSERT_TRUE(waitUntil([&] { return pane->web()->url().toString() != first; }));
    const QString second = pane->web()->url().toString();
    EXPECT_TRUE(waitUntil([&] { return looks() == second + night; }))
        << "a later page: " << looks().toStdString();

    reader->chooseReadingTheme(QStringLiteral("day"));
    EXPECT_TRUE(waitUntil([&] { return looks() == second + QStringLiteral(" rgba(0, 0, 0, 0)"); }))
        << "the book's own colours: " << looks().toStdString();

    QWidget *window = reader->window();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(reader->readingTheme(), ReadingTheme::Sepia);
    EXPECT_TRUE(waitUntil([&] { return looks() == second + QStringLiteral(" rgb(244, 236, 216)"); }))
        << looks().toStdString();
    EXPECT_EQ(UserDefaults::stringForKey(defaultsKey), QStringLiteral("sepia"));
    UserDefaults::remove(defaultsKey);
}

TEST_F(AppShellTest, ReaderFontSizeStaysWithinItsRangeAndIsKept)
{
    launch();
    UserDefaults::remove(QString::fromLatin1(UserDefaults::bookFontSize));
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    BookStatusData saved;
    saved.BookID = 1;
    saved.lastOpenPage = 1;
    saved.fontSetting = 20;
    EXPECT_TRUE(store().insert(saved));
    QPointer<ReaderVC> reader = openAnatomy(*m_app);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->fontSize(), 20) << "no size chosen yet: the book's own";

    // Font sizes run from 11 to 27.
    for (int i = 0; i < 20; ++i)
        reader->fontSizeUp();
    EXPECT_EQ(reader->fontSize(), 27);
    EXPECT_FALSE(reader->fontUpAction()->isEnabled());
    for (int i = 0; i < 30; ++i)
        reader->fontSizeDown();
    EXPECT_EQ(reader->fontSize(), 11);
    EXPECT_FALSE(reader->fontDownAction()->isEnabled());
    reader->fontSizeDefault();
    reader->fontSizeUp();
    EXPECT_TRUE(reader->fontDownAction()->isEnabled() && reader->fontUpAction()->isEnabled());
    ASSERT_TRUE(waitUntil([&] {
        return pageValue(
                   reader->epubPane()->web(), QStringLiteral("document.querySelector('h1').textContent"))
                   .toString()
                   .isEmpty()
            == false;
    }));
    QTest::qWait(300); // the page's last frame, for the picture only
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader.png"));
    const int page = reader->page();

    m_app->changeToShelf();
    ASSERT_TRUE(waitUntil([&] { return reader.isNull(); }));
    const auto status = store().findFirst<BookStatusData>(QStringLiteral("\"BookID\"=1"));
    EXPECT_EQ(status->lastOpenPage, page);
    EXPECT_EQ(status->fontSetting, 17);
    EXPECT_EQ(UserDefaults::value(QString::fromLatin1(UserDefaults::bookFontSize)).toInt(), 17);
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("anatomy-basics.epub")));
    EXPECT_EQ(m_app->readerVC()->page(), page) << "reopened where it was left";
    EXPECT_EQ(m_app->readerVC()->fontSize(), 17);
}

TEST_F(AppShellTest, ReaderLinksToAnotherBookAndTheWeb)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    library().books().parseBook(installSampleBook(QStringLiteral("臨床薬理学ノート.epub")));
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> first = m_app->readerVC();
    bool loaded = false;
    QObject::connect(
        first->epubPane()->web(), &QWebEngineView::loadFinished, first, [&](bool ok) { loaded = ok; });
    ASSERT_TRUE(waitUntil([&] { return loaded; }));
    auto click = [](ReaderVC *reader, const QString &href) {
        reader->epubPane()->web()->page()->runJavaScript(QStringLiteral(
            "var a = document.createElement('a'); a.href = '%1'; document.body.appendChild(a); a.click();")
                                                             .arg(href));
    };

    // A web link goes to the browser; the book view stays on the book.
    UrlRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
    click(first, QStringLiteral("http://example.invalid/page"));
    EXPECT_TRUE(waitUntil([&] { return !browser.urls.isEmpty(); }));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    EXPECT_EQ(first->epubPane()->web()->url().scheme(), QStringLiteral("epub"));

    // A link to a book that is not in the library only warns.
    click(first, QStringLiteral("tavro://open?paramBookId=urn%3Anone&paramManifestId=ch2"));
    ASSERT_TRUE(waitUntil([&] { return !m_answerer.seen.isEmpty(); }));
    EXPECT_EQ(m_answerer.seen.last().message, QStringLiteral("指定された本が存在しません"));
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("Warning"));
    EXPECT_EQ(m_app->readerVC(), first);

    // After "OK" the other book opens at the linked document, and going back
    // returns to the first book.
    click(first,
        QStringLiteral("tavro://open?paramBookId=urn%3Atavro%3Aclinical-pharmacology&paramManifestId=ch2"));
    ASSERT_TRUE(waitUntil([&] { return m_app->readerVC() != first.data(); }));
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("遷移しますか？"));
    ReaderVC *second = m_app->readerVC();
    EXPECT_TRUE(second->openedFromLink());
    ASSERT_TRUE(waitUntil(
        [&] { return second->epubPane()->web()->url().path().endsWith(QStringLiteral("chapter02.xhtml")); }));
    EXPECT_EQ(
        BookUrl::parse(second->epubPane()->web()->url())->fileName, QStringLiteral("臨床薬理学ノート.epub"));
    second->tapBackBtn();
    ASSERT_TRUE(waitUntil([&] { return m_app->readerVC() != second; }));
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("戻りますか？"));
    ReaderVC *back = m_app->readerVC();
    ASSERT_TRUE(waitUntil(
        [&] { return back->epubPane()->web()->url().path().endsWith(QStringLiteral("chapter01.xhtml")); }));
    EXPECT_EQ(
        BookUrl::parse(back->epubPane()->web()->url())->fileName, QStringLiteral("anatomy-basics.epub"));
    EXPECT_FALSE(back->openedFromLink()) << "back where the reader started: nothing further back";
}

TEST_F(AppShellTest, ReaderGoesBackAfterJumps)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = m_app->readerVC();
    ASSERT_TRUE(reader && reader->epubPane()->web());
    QWebEngineView *view = reader->epubPane()->web();
    int loads = 0;
    QObject::connect(view, &QWebEngineView::loadFinished, reader, [&](bool ok) { loads += ok; });
    ASSERT_TRUE(waitUntil([&] { return loads == 1; }));
    EXPECT_FALSE(reader->backAction()->isEnabled()) << "nothing to go back to on opening";
    auto scrollY = [&] { return int(view->page()->scrollPosition().y()); };

    // An in-page "#" jump keeps where the page was; going back scrolls there
    // without loading the page again.
    pageValue(view,
        QStringLiteral(
            "var tall = document.createElement('div'); tall.style.height = '4000px';"
            "document.body.insertBefore(tall, document.getElementById('summary'));"
            "var a = document.createElement('a'); a.id = 'jump'; a.href = '#summary'; a.textContent = 'jump';"
            "document.body.insertBefore(a, document.body.firstChild); window.scrollTo(0, 120); true"));
    ASSERT_TRUE(waitUntil([&] { return scrollY() == 120; }));
    pageValue(view, QStringLiteral("document.getElementById('jump').click(); true"));
    ASSERT_TRUE(waitUntil([&] { return scrollY() > 1000 && reader->backAction()->isEnabled(); }))
        << scrollY() << " " << reader->backAction()->isEnabled();
    EXPECT_EQ(reader->page(), 0);
    reader->tapBackBtn();
    EXPECT_TRUE(waitUntil([&] { return scrollY() == 120; })) << scrollY();
    EXPECT_EQ(loads, 1) << "the same page is not loaded again";
    EXPECT_FALSE(reader->backAction()->isEnabled());

    // Next page, then back to the page before.
    reader->tapDir(1);
    ASSERT_TRUE(waitUntil([&] { return loads == 2 && reader->backAction()->isEnabled(); }));
    EXPECT_EQ(reader->page(), 1);
    EXPECT_EQ(reader->lastPage(), 0);
    reader->tapBackBtn();
    ASSERT_TRUE(waitUntil([&] { return loads == 3; }));
    EXPECT_EQ(reader->page(), 0);
    EXPECT_TRUE(view->url().path().endsWith(QStringLiteral("chapter01.xhtml")));

    // A "#" link into the next document: back returns to this one.
    pageValue(view, QStringLiteral("document.querySelector('a[href^=\"chapter02\"]').click(); true"));
    ASSERT_TRUE(waitUntil([&] { return loads == 4; }));
    EXPECT_EQ(reader->page(), 1);
    reader->tapBackBtn();
    ASSERT_TRUE(waitUntil([&] { return loads == 5; }));
    EXPECT_EQ(reader->page(), 0);
}

TEST_F(AppShellTest, ReaderOpensTheBooksOwnImagesOnADoubleClick)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = openAnatomy(*m_app);
    ASSERT_TRUE(reader);
    QWebEngineView *view = reader->epubPane()->web();
    ASSERT_TRUE(waitUntil([&] {
        return pageValue(view,
            QStringLiteral(
                "!!document.querySelector('img.figure') && document.querySelector('img.figure').complete"))
            .toBool();
    }));

    // A double click on the figure opens it in the viewer; text does not.
    const QVariantList box = pageValue(view,
        QStringLiteral("var img = document.querySelector('img.figure'); img.scrollIntoView(); var r = "
                       "img.getBoundingClientRect();"
                       "[r.left + r.width / 2, r.top + r.height / 2]"))
                                 .toList();
    ASSERT_EQ(box.size(), 2);
    const QPoint figure(box.at(0).toInt(), box.at(1).toInt());
    QWidget *input = view->focusProxy();
    ASSERT_TRUE(input);
    // The events of a real double click: press, release, press, double
    // click, release.
    QTest::mouseClick(input, Qt::LeftButton, {}, figure);
    QTest::mousePress(input, Qt::LeftButton, {}, figure);
    QTest::mouseDClick(input, Qt::LeftButton, {}, figure);
    QTest::mouseRelease(input, Qt::LeftButton, {}, figure);
    ASSERT_TRUE(waitUntil([&] { return reader->epubPane()->imageViewer() != nullptr; }))
        << "double click at " << figure.x() << "," << figure.y();
    ImageViewer *viewer = reader->epubPane()->imageViewer();
    EXPECT_TRUE(viewer->isVisible());
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/image-viewer.png"));
    const double fitted = viewer->scale();
    EXPECT_GT(fitted, 1.5) << "the small figure is zoomed to fit the view";
    viewer->tapZoom(1);
    EXPECT_GT(viewer->scale(), fitted);
    viewer->tapZoom(0);
    viewer->tapZoom(0);
    EXPECT_LT(viewer->scale(), fitted);
    QTest::keyClick(viewer, Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return reader->epubPane()->imageViewer() == nullptr; }));
    std::optional<bool> opened;
    reader->epubPane()->openImageAt(QPoint(2, 2), [&](bool ok) { opened = ok; });
    ASSERT_TRUE(waitUntil([&] { return opened.has_value(); }));
    EXPECT_FALSE(*opened) << "no image there";

    // A picture from another book is not this book's to show.
    installSampleBook(QStringLiteral("臨床薬理学ノート.epub"));
    const QString foreign = BookUrl::entryUrl(
        QStringLiteral("臨床薬理学ノート.epub"), QStringLiteral("OEBPS/images/figure 1.png"))
                                .toString(QUrl::FullyEncoded);
    pageValue(view,
        QStringLiteral("var f = document.createElement('img'); f.src = '%1';"
                       "f.style = 'position:fixed;left:0;top:0;width:60px;height:60px';"
                       "document.body.appendChild(f); true")
            .arg(foreign));
    opened.reset();
    reader->epubPane()->openImageAt(QPoint(20, 20), [&](bool ok) { opened = ok; });
    ASSERT_TRUE(waitUntil([&] { return opened.has_value(); }));
    EXPECT_FALSE(*opened) << "another book's picture";
}

TEST_F(AppShellTest, ReaderKeepsPagesThatAreDrawingsOpen)
{
    // A drawing shown as a page is read like any other page: the check for
    // the page scripts must not send the reader back to the shelf.
    launch();
    const QByteArray opf
        = "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"2.0\">"
          "<metadata "
          "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>Drawn</dc:title><dc:identifier>urn:drawn</"
          "dc:identifier></metadata>"
          "<manifest><item id=\"p\" href=\"p.xhtml\" media-type=\"application/xhtml+xml\"/>"
          "<item id=\"d\" href=\"d.svg\" media-type=\"image/svg+xml\"/></manifest>"
          "<spine><itemref idref=\"p\"/><itemref idref=\"d\"/></spine></package>";
    const QByteArray page
        = "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>p</title></head>"
          "<body><p>Text</p></body></html>";
    const QByteArray drawing
        = "<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"100\">"
          "<circle cx=\"50\" cy=\"50\" r=\"40\" fill=\"red\"/></svg>";
    DataFolder::createContentsFolder();
    const QString path = DataFolder::contentsFolder() + QStringLiteral("/drawn.epub");
    ASSERT_TRUE(writeEpub(path, QStringLiteral("OEBPS/content.opf"),
        { { "OEBPS/content.opf", opf }, { "OEBPS/p.xhtml", page }, { "OEBPS/d.svg", drawing } }));
    library().books().parseBook(path);
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("drawn.epub")));
    QPointer<ReaderVC> reader = m_app->readerVC();
    ASSERT_TRUE(reader && reader->epubPane()->web());
    int loads = 0;
    QObject::connect(
        reader->epubPane()->web(), &QWebEngineView::loadFinished, reader, [&](bool ok) { loads += ok; });
    ASSERT_TRUE(waitUntil([&] { return loads == 1; }));
    reader->tapDir(1);
    ASSERT_TRUE(waitUntil([&] { return loads == 2; }));
    QTest::qWait(300);
    EXPECT_EQ(m_app->readerVC(), reader.data()) << "still reading";
    EXPECT_EQ(reader->page(), 1);

    // A file that is no book says so and goes back to the shelf.
    QFile broken(DataFolder::contentsFolder() + QStringLiteral("/broken.epub"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("PK\x03\x04 not really a zip");
    broken.close();
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("broken.epub")));
    ASSERT_TRUE(waitUntil([&] { return m_app->currentVC() == m_app->shelfVC(); }));
    EXPECT_EQ(m_answerer.seen.last().message, QStringLiteral("この本を開けません"));
}

TEST_F(AppShellTest, ReaderSplashAndOutlineWidth)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    library().books().parseBook(installSampleBook(QStringLiteral("Emergency Medicine Handbook.epub")));
    m_app->config().setValue(QStringLiteral("r_split"), 0.5);
    // A reader left before it was ever laid out has no width to keep.
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = m_app->readerVC();
    m_app->changeToShelf();
    ASSERT_TRUE(waitUntil([&] { return reader.isNull(); }));
    EXPECT_NEAR(m_app->config().value(QStringLiteral("r_split")).toDouble(), 0.5, 0.02);

    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("anatomy-basics.epub")));
    reader = m_app->readerVC();
    EXPECT_FALSE(reader->epubPane()->splashShown()) << "no splash image in this book";
    auto outlineShare = [&](ReaderVC *r) {
        const QList<int> sizes = r->epubPane()->splitter()->sizes();
        return double(sizes.value(0)) / (sizes.value(0) + sizes.value(1));
    };
    ASSERT_TRUE(waitUntil([&] { return reader->epubPane()->splitter()->isVisible(); }));
    EXPECT_NEAR(outlineShare(reader), 0.5, 0.02);

    // Leaving keeps the width the reader left it at.
    const int total = reader->epubPane()->splitter()->width();
    reader->epubPane()->splitter()->setSizes({ total / 4, total - total / 4 });
    m_app->changeToShelf();
    ASSERT_TRUE(waitUntil([&] { return reader.isNull(); }));
    EXPECT_NEAR(m_app->config().value(QStringLiteral("r_split")).toDouble(), 0.25, 0.02);

    // The splash covers the reader with the outline closed, then goes by
    // itself (two seconds: the book's "dc:splash" is not a number).
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("Emergency Medicine Handbook.epub")));
    reader = m_app->readerVC();
    ASSERT_TRUE(reader->epubPane()->splashShown());
    auto *splash = reader->findChild<QLabel *>(QStringLiteral("splash"));
    ASSERT_TRUE(splash);
    EXPECT_FALSE(splash->pixmap().isNull());
    EXPECT_EQ(reader->epubPane()->splitter()->sizes().value(0), 0);
    m_app->changeToShelf();
    EXPECT_NEAR(m_app->config().value(QStringLiteral("r_split")).toDouble(), 0.25, 0.02)
        << "leaving during the splash keeps the stored width";
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("Emergency Medicine Handbook.epub")));
    reader = m_app->readerVC();
    ASSERT_TRUE(reader->epubPane()->splashShown());
    ASSERT_TRUE(waitUntil([&] { return !reader->epubPane()->splashShown(); }, 6000));
    EXPECT_NEAR(outlineShare(reader), 0.25, 0.02);
    // A click ends the splash early.
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("Emergency Medicine Handbook.epub")));
    reader = m_app->readerVC();
    ASSERT_TRUE(reader->epubPane()->splashShown());
    ASSERT_TRUE(waitUntil([&] { return reader->epubPane()->splitter()->width() > 500; }))
        << "laid out, as when a person clicks";
    QTest::mouseClick(reader->findChild<QLabel *>(QStringLiteral("splash")), Qt::LeftButton);
    EXPECT_FALSE(reader->epubPane()->splashShown());
    EXPECT_NEAR(outlineShare(reader), 0.25, 0.02);

    // A stored width out of range gives the default outline.
    m_app->config().setValue(QStringLiteral("r_split"), 0.97);
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("anatomy-basics.epub")));
    reader = m_app->readerVC();
    ASSERT_TRUE(waitUntil([&] { return reader->epubPane()->splitter()->isVisible(); }));
    EXPECT_NEAR(reader->epubPane()->splitter()->sizes().value(0), 240, 10);
}

TEST_F(AppShellTest, ReaderPrintsOnlyAllowedBooks)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    library().books().parseBook(installSampleBook(QStringLiteral("Emergency Medicine Handbook.epub")));
    library().books().parsePDFBook(installSampleBook(QStringLiteral("nursing-notes.pdf")),
        { { QStringLiteral("bookId"), QStringLiteral("pdf-nursing-notes") },
            { QStringLiteral("bookTitle"), QStringLiteral("Nursing Notes") },
            { QStringLiteral("print"), QStringLiteral("1") } });

    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("Emergency Medicine Handbook.epub")));
    EXPECT_FALSE(m_app->readerVC()->printAction()->isVisible()) << "no print permission";

    auto printed = [&](const QString &fileName) {
        m_app->changeToReader(ShelfVC::bookInfo(library(), fileName));
        ReaderVC *reader = m_app->readerVC();
        EXPECT_TRUE(reader->printAction()->isVisible()) << fileName.toStdString();
        if (reader->epubPane()) {
            bool loaded = false;
            QObject::connect(reader->epubPane()->web(), &QWebEngineView::loadFinished, reader,
                [&](bool ok) { loaded = ok; });
            EXPECT_TRUE(waitUntil([&] { return loaded; }));
        }
        const QString out = m_dir.filePath(fileName + QStringLiteral(".printed.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out);
        std::optional<bool> ok;
        reader->printTo(&printer, [&](bool result) { ok = result; });
        if (reader->epubPane()) {
            // The engine drops a second print while one is under way; the
            // second caller hears so at once instead of waiting for ever.
            std::optional<bool> second;
            reader->printTo(&printer, [&](bool result) { second = result; });
            EXPECT_EQ(second, std::optional<bool>(false));
        }
        // Every print ends with an answer, at the latest by the watchdog.
        EXPECT_TRUE(waitUntil([&] { return ok.has_value(); }, ReaderPane::kPrintTimeoutMs + 10000));
        EXPECT_EQ(printer.resolution(), ReaderPane::kPrintDotsPerInch)
            << "a raster at the printer's own 1200 dpi took longer than a person waits";
        EXPECT_TRUE(ok.value_or(false));
        QPdfDocument pdf;
        EXPECT_EQ(pdf.load(out), QPdfDocument::Error::None);
        return pdf.pageCount();
    };
    EXPECT_GE(printed(QStringLiteral("anatomy-basics.epub")), 1);
    EXPECT_EQ(printed(QStringLiteral("nursing-notes.pdf")), 1) << "only the page on screen";
}

} // namespace

#include "ReaderScreenTest.moc"
