#include "ReaderVC.h"

#include "ImageViewer.h"
#include "MainWindow.h"
#include "OutlineRowDelegate.h"
#include "app/AppDelegate.h"
#include "app/ConfigDictionary.h"
#include "app/MsgBox.h"
#include "app/StayTimeCounter.h"
#include "app/UserDefaults.h"
#include "content/BookPage.h"
#include "content/BookUrl.h"
#include "content/BookWebProfile.h"
#include "content/EPUBManager.h"
#include "content/EPUBURLProtcol.h"
#include "content/PageScripts.h"
#include "library/DataBaseHelper.h"
#include "library/LibraryStore.h"
#include "sync/QMShareHelper.h"
#include "util/Logging.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QMenu>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPainter>
#include <QPdfView>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>
#include <QSplitter>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

ReaderVC::ReaderVC(AppDelegate &app)
    : ScreenVC(app)
{
    setObjectName(QStringLiteral("ReaderVC"));
    m_toolbar = new QToolBar(QStringLiteral("Reader"), this);
    m_toolbar->setObjectName(QStringLiteral("readerToolbar"));
    m_toolbar->addAction(QStringLiteral("本棚"), this, [this] { m_app.changeToShelf(); });
    m_toolbar->addAction(QStringLiteral("◀"), this, [this] { tapDir(0); });
    m_toolbar->addAction(QStringLiteral("▶"), this, [this] { tapDir(1); });
    m_print = m_toolbar->addAction(QStringLiteral("印刷"), this, &ReaderVC::tapPrint);
    m_print->setShortcut(QKeySequence::Print);
    m_print->setVisible(false);
    m_back = m_toolbar->addAction(QStringLiteral("戻る"), this, &ReaderVC::tapBackBtn);
    m_back->setShortcut(QKeySequence::Back);
    m_back->setVisible(false);
    m_back->setEnabled(false);
    m_pageLabel = new QLabel(this);
    m_pageLabel->setObjectName(QStringLiteral("pageLabel"));
    m_toolbar->addWidget(m_pageLabel);
    m_fontDown = m_toolbar->addAction(QStringLiteral("A−"), this, &ReaderVC::fontSizeDown);
    m_fontDefault = m_toolbar->addAction(QStringLiteral("A"), this, &ReaderVC::fontSizeDefault);
    m_fontUp = m_toolbar->addAction(QStringLiteral("A+"), this, &ReaderVC::fontSizeUp);
    m_fontDown->setShortcut(QKeySequence::ZoomOut);
    m_fontUp->setShortcut(QKeySequence::ZoomIn);
    for (QAction *a : {m_fontDown, m_fontDefault, m_fontUp})
        a->setVisible(false);
    auto *back = new QShortcut(QKeySequence(Qt::Key_Left), this);
    connect(back, &QShortcut::activated, this, [this] { tapDir(0); });
    auto *forward = new QShortcut(QKeySequence(Qt::Key_Right), this);
    connect(forward, &QShortcut::activated, this, [this] { tapDir(1); });
    new QVBoxLayout(this);
    layout()->setContentsMargins(0, 0, 0, 0);
}

ReaderVC::~ReaderVC()
{
    m_stay.reset();
    savesplit();
    saveStatus();
    QMShareHelper::syscAccessLog();
    // Leaving uploads the bookmarks of a store book.
    const QString metaBookId = info.value(QStringLiteral("metaBookId")).toString();
    if (m_loaded && !metaBookId.isEmpty() && metaBookId != u"9999999999")
        m_app.shareHelper().syscBookMark(m_pdf != nullptr);
}

void ReaderVC::startCounting()
{
    const bool pdf = info.contains(QStringLiteral("pdfurl"));
    StayTimePage book;
    if (pdf) {
        book.bookId = info.value(QStringLiteral("metaBookId")).toString();
        book.bookAuthor = info.value(QStringLiteral("creator")).toString();
        book.bookTitle = info.value(QStringLiteral("Title")).toString();
    } else if (m_epub) {
        book.bookId = m_epub->metadata().value(QStringLiteral("dc:identifier")).toString();
        book.bookAuthor = m_epub->metadata().value(QStringLiteral("dc:creator")).toString();
        book.bookTitle = m_epub->metadata().value(QStringLiteral("dc:title")).toString();
    }
    m_stay = std::make_unique<StayTimeCounter>(TimerSource::system(), [this, book] {
        StayTimePage page = book;
        page.manifestID = m_currentManifestID;
        page.pageIndex = m_page;
        if (m_outline && m_outline->currentItem())
            page.naviTitle = m_outline->currentItem()->text(0).section(u'\n', 0, 0);
        return page;
    });
    m_stay->bookOpened(book.bookId, book.bookAuthor, book.bookTitle);
}

void ReaderVC::appear()
{
    m_app.window()->installToolbar(m_toolbar);
    m_app.window()->setWindowTitle(QStringLiteral("%1 - %2").arg(QCoreApplication::applicationName(),
                                                                 info.value(QStringLiteral("Title")).toString()));
    if (m_loaded)
        return;
    m_loaded = true;
    // Printing only for books the publisher allows it for.
    m_print->setVisible(info.value(QStringLiteral("print")).toBool());
    const int last = info.value(QStringLiteral("lastPage"), -1).toInt();
    if (info.contains(QStringLiteral("pdfurl"))) {
        m_pdf = new QPdfDocument(this);
        m_pdf->load(info.value(QStringLiteral("pdfurl")).toString());
        auto *view = new QPdfView(this);
        view->setObjectName(QStringLiteral("pdfView"));
        view->setDocument(m_pdf);
        view->setPageMode(QPdfView::PageMode::SinglePage);
        layout()->addWidget(view);
        startCounting();
        connect(view->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this, [this](int p) {
            m_page = p;
            m_stay->startIncreasingStaytime();
            m_pageLabel->setText(QStringLiteral("%1 / %2").arg(p + 1).arg(m_pdf->pageCount()));
        });
        goToPage(std::max(0, last));
        return;
    }
    // A URL with a document path comes from a link between books: the
    // package is read from its root and the document itself is shown.
    const QUrl url = info.value(QStringLiteral("url")).toUrl();
    QUrl root = url;
    root.setPath(QString());
    const bool documentUrl = url.path().size() > 1;
    if (documentUrl && befoInfo != info) {
        // Followed a link: going back returns to the book before.
        m_fromLink = true;
        m_isBackOther = true;
    } else {
        // Opened from the shelf, or reopened by going back (which offers
        // no way further back).
        m_firstOpen = true;
        m_otherBook = documentUrl;
    }
    m_epub = std::make_unique<EPUBManager>(root);
    if (m_epub->spine().isEmpty()) {
        // Back to the shelf rather than an empty reader.
        MsgBox::errorMessage(QStringLiteral("この本を開けません"));
        QMetaObject::invokeMethod(this, [this] { m_app.changeToShelf(); }, Qt::QueuedConnection);
        return;
    }
    const QString title = QUrl::fromPercentEncoding(m_epub->metadata().value(QStringLiteral("dc:title")).toString().toUtf8());
    m_app.window()->setWindowTitle(QStringLiteral("%1 - %2").arg(QCoreApplication::applicationName(), title));
    m_split = new QSplitter(this);
    m_split->setChildrenCollapsible(true);
    m_outline = new QTreeWidget(m_split);
    m_outline->setObjectName(QStringLiteral("outline"));
    m_outline->setHeaderHidden(true);
    m_outline->setWordWrap(true);
    m_outline->setItemDelegate(new OutlineRowDelegate(m_outline));
    // Row heights follow the pane's width.
    m_outline->viewport()->installEventFilter(this);
    if (m_epub->toc())
        fillOutline(nullptr, *m_epub->toc(), 0);
    m_outline->setVisible(m_outline->topLevelItemCount() > 0);
    connect(m_outline, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) { openOutlineItem(item); });
    connect(m_outline, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { openOutlineItem(item); });
    m_web = new QWebEngineView(m_split);
    m_web->setObjectName(QStringLiteral("bookView"));
    auto *page = new BookPage(BookWebProfile::shared(), m_web);
    PageScripts::install(page);
    connect(page, &BookPage::bookLinkRequested, this, &ReaderVC::bookLinkClicked);
    connect(page, &BookPage::navigationAccepted, this, &ReaderVC::navigationStarted);
    connect(m_web, &QWebEngineView::urlChanged, this, &ReaderVC::urlShown);
    m_web->setPage(page);
    // Double clicks on an image open the viewer; the view's input arrives
    // at its render widget.
    m_web->installEventFilter(this);
    if (m_web->focusProxy())
        m_web->focusProxy()->installEventFilter(this);
    startCounting();
    connect(m_web, &QWebEngineView::loadFinished, this, &ReaderVC::didFinishLoad);
    // Not the browser's menu (back, reload, page source): only what applies
    // to the selected text.
    m_web->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_web, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu menu(this);
        fillContextMenu(&menu);
        if (!menu.isEmpty())
            menu.exec(m_web->mapToGlobal(pos));
    });
    m_split->setStretchFactor(1, 1);
    layout()->addWidget(m_split);
    for (QAction *a : {m_fontDown, m_fontDefault, m_fontUp})
        a->setVisible(true);
    // The size last chosen in any book, else the book's own.
    const QVariant stored = UserDefaults::value(QString::fromLatin1(UserDefaults::bookFontSize));
    setFontSize(stored.isValid() ? stored.toInt() : info.value(QStringLiteral("fontSize"), kDefaultFontSize).toInt());
    m_back->setVisible(true);
    m_back->setEnabled(m_isBackOther);

    // The splash covers the reader (outline closed) for its seconds.
    QUrl splashUrl = root;
    splashUrl.setPath(QStringLiteral("/OEBPS/splash_image1.jpg"));
    const QImage splash = QImage::fromData(EPUBURLProtcol::shared().dataForUrl(splashUrl).value_or(QByteArray()));
    if (!splash.isNull()) {
        auto *cover = new QLabel(this);
        cover->setObjectName(QStringLiteral("splash"));
        cover->setAutoFillBackground(true);
        cover->setStyleSheet(QStringLiteral("background: white;"));
        cover->setAlignment(Qt::AlignCenter);
        cover->setGeometry(rect());
        const QSize room = size().isEmpty() ? QSize(800, 600) : size();
        cover->setPixmap(QPixmap::fromImage(splash.size().boundedTo(room) == splash.size()
                                                ? splash
                                                : splash.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        cover->show();
        cover->raise();
        m_splash = cover;
        installEventFilter(this);
        cover->installEventFilter(this); // a click ends it early
        m_split->setSizes({0, std::max(1, width())});
        bool number = false;
        double seconds = m_epub->metadata().value(QStringLiteral("dc:splash")).toString().trimmed().toDouble(&number);
        if (!number || seconds < 0 || seconds > 30)
            seconds = 2.0;
        QTimer::singleShot(int(seconds * 1000), this, &ReaderVC::splashClear);
    } else {
        restoreSplit();
    }

    m_page = std::max(0, last);
    saveLastPage();
    if (documentUrl)
        m_web->load(url);
    else
        redispByPage();
    // The outline row of the opening page.
    if (QTreeWidgetItem *row = m_outline->topLevelItem(m_page)) {
        m_selectingOutline = true;
        m_outline->setCurrentItem(row);
        m_selectingOutline = false;
    }
}

void ReaderVC::splashClear()
{
    if (!m_splash)
        return;
    // Later: this may run inside the splash's own click.
    m_splash->hide();
    m_splash->deleteLater();
    m_splash = nullptr;
    restoreSplit();
}

void ReaderVC::restoreSplit()
{
    if (!m_split)
        return;
    const int total = std::max(m_split->width(), width());
    const auto fraction = storedSplit(ConfigDictionary::shared().value(QStringLiteral("r_split")));
    const int outline = fraction ? int(*fraction * total + 0.5) : 240;
    m_split->setSizes({outline, std::max(1, total - outline)});
}

std::optional<double> ReaderVC::storedSplit(const QVariant &value)
{
    bool number = false;
    const double fraction = value.toDouble(&number);
    if (!value.isValid() || !number || !(fraction >= 0.05 && fraction <= 0.95))
        return std::nullopt;
    return fraction;
}

void ReaderVC::savesplit()
{
    // Not while the splash has the outline closed.
    if (!m_split || m_splash || m_split->width() <= 0 || m_outline->isHidden())
        return;
    ConfigDictionary &config = ConfigDictionary::shared();
    config.setValue(QStringLiteral("r_split"), double(m_outline->width()) / m_split->width());
    if (!config.save())
        qCWarning(lcApp) << "could not write" << config.file();
}

void ReaderVC::bookLinkClicked(const QUrl &url)
{
    QVariantMap query;
    for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        query.insert(key, value);
    const auto target = LibraryStore::main().findFirst<BookMetaData>(QStringLiteral("\"identifier\"=?"),
                                                                     {query.value(QStringLiteral("paramBookId"))});
    if (!target || !target->title) {
        MsgBox::showMessage(QStringLiteral("指定された本が存在しません"), QStringLiteral("Warning"));
        return;
    }
    QPointer<ReaderVC> self(this);
    MsgBox::ask(QStringLiteral("他の書籍<<%1>>コンテンツを開きます").arg(*target->title), QStringLiteral("遷移しますか？"),
                [self, query](bool ok) {
                    if (ok && self)
                        self->urlHandle(query);
                });
}

void ReaderVC::urlHandle(const QVariantMap &query)
{
    LibraryStore &store = LibraryStore::main();
    auto target = store.findFirst<BookMetaData>(QStringLiteral("\"identifier\"=?"), {query.value(QStringLiteral("paramBookId"))});
    if (!target || !target->BookID || !target->fileName) {
        m_app.changeToShelf();
        return;
    }
    // The linked document: the manifest item of the target book, else (as
    // older links expect) the item of that id in this book.
    const QString manifestID = query.value(QStringLiteral("paramManifestId")).toString();
    const EPUBManager targetBook(BookUrl::rootUrl(*target->fileName));
    QString href = targetBook.manifest().value(manifestID).toMap().value(QStringLiteral("href")).toString();
    if (href.isEmpty() && m_epub)
        href = m_epub->manifest().value(manifestID).toMap().value(QStringLiteral("href")).toString();
    const QUrl targetUrl = href.isEmpty() ? targetBook.urlForContent(
                                                targetBook.spine().value(0).toMap().value(QStringLiteral("href")).toString())
                                          : targetBook.urlForContent(href);
    saveStatus();
    m_app.shareHelper().getMyBookAll(target->identifier.value_or(QString()),
                                     DataBaseHelper::currentUserId().value_or(QString()), false);
    target->lastOpenDate = QDateTime::currentDateTimeUtc();
    store.save(*target);
    const auto status = store.findFirst<BookStatusData>(QStringLiteral("\"BookID\"=?"), {*target->BookID});
    const QVariantMap targetInfo{{QStringLiteral("url"), targetUrl},
                                 {QStringLiteral("BookID"), *target->BookID},
                                 {QStringLiteral("fontSize"), status ? status->fontSetting.value_or(kDefaultFontSize) : kDefaultFontSize},
                                 {QStringLiteral("print"), target->printable.value_or(0) != 0},
                                 {QStringLiteral("Title"), target->title.value_or(QString())}};
    QVariantMap previous{{QStringLiteral("url"), m_epub->rootURL()},
                         {QStringLiteral("BookID"), info.value(QStringLiteral("BookID"))},
                         {QStringLiteral("fontSize"), fontSize()},
                         {QStringLiteral("print"), info.value(QStringLiteral("print"))},
                         {QStringLiteral("Title"), info.value(QStringLiteral("Title"))}};
    m_app.changeToReader(targetInfo, previous, m_currentManifestID);
}

void ReaderVC::tapBackBtn()
{
    if (!m_back->isEnabled())
        return;
    m_back->setEnabled(false);
    if (m_isBackOther) {
        QPointer<ReaderVC> self(this);
        MsgBox::ask(QStringLiteral("元の書籍<<%1>>コンテンツを戻ります").arg(befoInfo.value(QStringLiteral("Title")).toString()),
                    QStringLiteral("戻りますか？"), [self](bool ok) {
                        if (!self)
                            return;
                        if (!ok) {
                            self->m_back->setEnabled(true);
                            return;
                        }
                        // The document the link was followed from.
                        QVariantMap back = self->befoInfo;
                        const EPUBManager previous(back.value(QStringLiteral("url")).toUrl());
                        const QString href =
                            previous.manifest().value(self->befoManifestID).toMap().value(QStringLiteral("href")).toString();
                        if (!href.isEmpty())
                            back.insert(QStringLiteral("url"), previous.urlForContent(href));
                        self->saveStatus();
                        self->m_app.changeToReader(back, back, QString());
                    });
        return;
    }
    if (m_offsetEmpty) {
        redispToPage(m_lastPage);
    } else if (m_otherPage) {
        // Back to the page before, then to where it was scrolled.
        m_backFlag = true;
        redispToPage(m_lastPage);
    } else {
        // An in-page jump: only the scroll position goes back.
        scrollTo(m_offset);
        m_offsetEmpty = true;
        saveLastPage();
    }
}

void ReaderVC::scrollTo(int offset)
{
    if (m_web)
        PageScripts::run(m_web->page(), QStringLiteral("window.scrollTo(0,%1)").arg(offset));
}

void ReaderVC::tapDir(int segment)
{
    if (m_pdf) {
        goToPage(m_page + (segment == 0 ? -1 : 1));
        return;
    }
    if (!m_epub)
        return;
    m_isBackOther = false;
    saveLastPage();
    m_page = std::clamp(m_page + (segment == 0 ? -1 : 1), 0, int(m_epub->spine().size()) - 1);
    redispByPage();
}

void ReaderVC::redispByPage()
{
    if (!m_epub || m_page < 0 || m_page >= m_epub->spine().size())
        return;
    closeImageShow();
    const QString href = m_epub->spine().at(m_page).toMap().value(QStringLiteral("href")).toString();
    m_web->load(m_epub->urlForContent(href));
}

void ReaderVC::redispToPage(int page)
{
    saveLastPage();
    m_page = page;
    if (m_pdf)
        goToPage(page);
    else
        redispByPage();
}

void ReaderVC::navigationStarted(const QUrl &url)
{
    if (!m_epub)
        return;
    // An in-page jump keeps where the page was, for going back.
    if (url.toString().contains(u'#')) {
        saveLastPage();
        m_offset = int(m_web->page()->scrollPosition().y());
        m_offsetEmpty = false;
    }
    m_expectedUrl = url;
    m_shownDocument = url.adjusted(QUrl::RemoveFragment);
    pageNavigated(url);
}

void ReaderVC::urlShown(const QUrl &url)
{
    if (!m_epub || url == m_expectedUrl) {
        m_expectedUrl.clear(); // announced by navigationStarted
        return;
    }
    if (!url.hasFragment() || url.adjusted(QUrl::RemoveFragment) != m_shownDocument)
        return;
    // A jump within the shown document: the page script noted where the
    // page was before it.
    saveLastPage();
    // The jump counts (and going back is offered) once the offset is known:
    // going back any earlier would reload the page instead of scrolling.
    QPointer<ReaderVC> self(this);
    PageScripts::run(m_web->page(), QStringLiteral("qmTakeJumpOffset()"), [self, url](const QVariant &offset) {
        if (!self)
            return;
        if (offset.isValid() && offset.toInt() >= 0) {
            self->m_offset = offset.toInt();
            self->m_offsetEmpty = false;
        }
        self->pageNavigated(url);
    });
}

void ReaderVC::pageNavigated(const QUrl &url)
{
    const QString path = url.path();
    for (int i = 0; i < m_epub->spine().size(); ++i) {
        const QVariantMap item = m_epub->spine().at(i).toMap();
        const QString href = item.value(QStringLiteral("href")).toString();
        if (href.isEmpty() || !path.endsWith(href))
            continue;
        m_page = i;
        m_currentManifestID = item.value(QStringLiteral("id")).toString();
        m_pageLabel->setText(QStringLiteral("%1/%2").arg(i + 1).arg(m_epub->spine().size()));
        m_otherPage = m_pageLabel->text() != m_beforePageStr;
        m_beforePageStr = m_pageLabel->text();
    }
    QTimer::singleShot(10, this, [this, url] { webchangelate(url); });
    if (!m_firstOpen || m_fromLink) {
        m_fromLink = false;
        m_back->setEnabled(true);
    } else {
        m_firstOpen = false;
        m_back->setEnabled(false);
    }
}

void ReaderVC::webchangelate(const QUrl &url)
{
    // The outline row of the shown document, without following it again.
    const QString path = url.path();
    m_selectingOutline = true;
    for (QTreeWidgetItemIterator it(m_outline); *it; ++it) {
        const QString content = (*it)->data(0, Qt::UserRole).toString().section(u'#', 0, 0);
        if (!content.isEmpty() && path.endsWith(content)) {
            m_outline->setCurrentItem(*it);
            break;
        }
    }
    m_selectingOutline = false;
    if (m_otherBook) {
        m_otherBook = false;
        m_back->setEnabled(false);
    }
}

void ReaderVC::didFinishLoad(bool ok)
{
    if (!ok || !m_web)
        return;
    if (QWidget *input = m_web->focusProxy())
        input->installEventFilter(this); // made with the first document
    if (m_otherPage && m_backFlag) {
        m_otherPage = m_backFlag = false;
        scrollTo(m_offset);
        m_offsetEmpty = true;
        saveLastPage();
    }
    // The page scripts must answer before anything relies on them; a page
    // without them cannot be annotated, so the reader closes.
    QPointer<ReaderVC> self(this);
    PageScripts::verify(m_web->page(), [self](bool loaded) {
        if (!self || !self->m_web)
            return;
        if (loaded) {
            qCDebug(lcContent) << "load HighlightdataEnd";
            if (self->m_stay)
                self->m_stay->startIncreasingStaytime();
            return;
        }
        // Only a (X)HTML page needs them; a picture or drawing shown as a
        // page is read without.
        self->m_web->page()->runJavaScript(
            QStringLiteral("document.documentElement ? document.documentElement.namespaceURI : ''"),
            [self](const QVariant &ns) {
                if (!self)
                    return;
                if (ns.toString() == QLatin1String("http://www.w3.org/1999/xhtml")) {
                    qCWarning(lcContent) << "QMJavacriptCouldNotLoadException: because Javascript could not load.";
                    self->m_app.changeToShelf();
                } else if (self->m_stay) {
                    self->m_stay->startIncreasingStaytime();
                }
            });
    });
}

bool ReaderVC::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this && event->type() == QEvent::Resize && m_splash)
        m_splash->setGeometry(rect());
    if (m_splash && watched == m_splash && event->type() == QEvent::MouseButtonPress) {
        splashClear();
        return true;
    }
    if (m_outline && watched == m_outline->viewport() && event->type() == QEvent::Resize && !m_outlineRelayout) {
        // Once for a burst of resizes (dragging the divider).
        m_outlineRelayout = true;
        QMetaObject::invokeMethod(this, [this] {
            m_outlineRelayout = false;
            m_outline->doItemsLayout();
        }, Qt::QueuedConnection);
    }
    if (m_web && watched == m_web && event->type() == QEvent::ChildAdded && m_web->focusProxy())
        m_web->focusProxy()->installEventFilter(this); // the render widget may be made anew
    if (m_web && watched == m_web->focusProxy()) {
        // The release that ends a double click over an image opens it.
        if (event->type() == QEvent::MouseButtonDblClick && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            m_dblClicked = true;
        else if (event->type() == QEvent::MouseButtonRelease && m_dblClicked) {
            m_dblClicked = false;
            openImageAt(static_cast<QMouseEvent *>(event)->position().toPoint());
        }
    }
    return ScreenVC::eventFilter(watched, event);
}

void ReaderVC::openImageAt(const QPoint &pos, std::function<void(bool)> done)
{
    if (!m_web) {
        if (done)
            done(false);
        return;
    }
    QPointer<ReaderVC> self(this);
    PageScripts::run(m_web->page(), QStringLiteral("qmImageAt(%1,%2)").arg(pos.x()).arg(pos.y()),
                     [self, done](const QVariant &result) {
                         bool opened = false;
                         const QUrl src(result.toString());
                         // Only the book's own images, read from its archive.
                         if (self && self->m_web && self->m_epub && src.scheme() == QLatin1String(BookUrl::kScheme)
                             && src.host() == self->m_epub->rootURL().host()) {
                             const QImage image = QImage::fromData(EPUBURLProtcol::shared().dataForUrl(src).value_or(QByteArray()));
                             if (!image.isNull()) {
                                 self->closeImageShow();
                                 self->m_imageViewer = new ImageViewer(image, self->m_web);
                                 opened = true;
                             }
                         }
                         if (done)
                             done(opened);
                     });
}

void ReaderVC::closeImageShow()
{
    if (m_imageViewer)
        m_imageViewer->closeImageShow();
}

int ReaderVC::fontSize() const
{
    return m_web ? m_web->page()->settings()->fontSize(QWebEngineSettings::DefaultFontSize) : kDefaultFontSize;
}

void ReaderVC::setFontSize(int size)
{
    if (!m_web)
        return;
    size = std::clamp(size, kMinFontSize, kMaxFontSize);
    m_web->page()->settings()->setFontSize(QWebEngineSettings::DefaultFontSize, size);
    m_fontDown->setEnabled(size > kMinFontSize);
    m_fontUp->setEnabled(size < kMaxFontSize);
}

void ReaderVC::fontSizeDown()
{
    setFontSize(fontSize() - 1);
}

void ReaderVC::fontSizeUp()
{
    setFontSize(fontSize() + 1);
}

void ReaderVC::fontSizeDefault()
{
    setFontSize(kDefaultFontSize);
}

void ReaderVC::fillOutline(QTreeWidgetItem *parent, const QVariantList &entries, int depth)
{
    if (depth > 32)
        return;
    for (const QVariant &v : entries) {
        const QVariantMap e = v.toMap();
        QStringList lines{e.value(QStringLiteral("text")).toString()};
        QStringList extra;
        for (const char *key : {"category", "author"})
            if (const QString t = e.value(QLatin1String(key)).toString(); !t.isEmpty())
                extra << t;
        if (!extra.isEmpty())
            lines << extra.join(u'\n');
        auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_outline);
        item->setText(0, lines.join(u'\n'));
        item->setToolTip(0, item->text(0));
        item->setData(0, OutlineRowDelegate::kTitleRole, lines.first());
        item->setData(0, OutlineRowDelegate::kDetailRole, extra.join(u'\n'));
        item->setData(0, Qt::UserRole, e.value(QStringLiteral("content")));
        item->setData(0, Qt::UserRole + 1, e.value(QStringLiteral("id")));
        fillOutline(item, e.value(QStringLiteral("child")).toList(), depth + 1);
    }
}

void ReaderVC::openOutlineItem(QTreeWidgetItem *item)
{
    if (!item || !m_epub || m_selectingOutline)
        return;
    QString target = item->data(0, Qt::UserRole).toString();
    if (target.isEmpty())
        target = m_epub->manifest().value(item->data(0, Qt::UserRole + 1).toString()).toMap().value(QStringLiteral("href")).toString();
    if (target.isEmpty())
        return;
    m_isBackOther = false;
    saveLastPage();
    closeImageShow();
    m_web->load(m_epub->urlForContent(target));
}

void ReaderVC::goToPage(int page)
{
    if (m_pdf) {
        if (page < 0 || page >= m_pdf->pageCount())
            return;
        m_page = page;
        if (auto *view = findChild<QPdfView *>())
            view->pageNavigator()->jump(page, {}, view->pageNavigator()->currentZoom());
        m_pageLabel->setText(QStringLiteral("%1 / %2").arg(page + 1).arg(m_pdf->pageCount()));
        return;
    }
    if (!m_epub)
        return;
    redispToPage(std::clamp(page, 0, int(m_epub->spine().size()) - 1));
}

void ReaderVC::saveStatus()
{
    const qint64 bookID = info.value(QStringLiteral("BookID"), -1).toLongLong();
    if (bookID < 0 || !m_loaded)
        return;
    LibraryStore &store = LibraryStore::main();
    BookStatusData status = store.findFirst<BookStatusData>(QStringLiteral("\"BookID\"=?"), {bookID}).value_or(BookStatusData());
    status.BookID = bookID;
    status.lastOpenPage = m_page;
    if (m_web)
        status.fontSetting = fontSize();
    store.save(status);
    if (m_web) {
        UserDefaults::setValue(QString::fromLatin1(UserDefaults::bookFontSize), fontSize());
        UserDefaults::synchronize();
    }
}

void ReaderVC::tapPrint()
{
    if (!info.value(QStringLiteral("print")).toBool() || m_printer)
        return;
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(m_printer.get(), this);
    if (m_pdf) // the page on screen is what a PDF prints
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted) {
        m_printer.reset();
        return;
    }
    printTo(m_printer.get(), [this](bool ok) {
        if (!ok)
            MsgBox::errorMessage(QStringLiteral("印刷できませんでした"));
        m_printer.reset();
    });
}

void ReaderVC::printTo(QPrinter *printer, std::function<void(bool)> done)
{
    if (m_web) {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = connect(m_web, &QWebEngineView::printFinished, this, [connection, done](bool ok) {
            QObject::disconnect(*connection);
            done(ok);
        });
        m_web->print(printer);
        return;
    }
    if (!m_pdf || m_page < 0 || m_page >= m_pdf->pageCount()) {
        done(false);
        return;
    }
    // The page on screen only, fitted to the paper and turned to match it.
    QPainter painter;
    if (!painter.begin(printer)) {
        done(false);
        return;
    }
    const QRect paper = painter.viewport();
    QSizeF page = m_pdf->pagePointSize(m_page);
    const bool rotate = (page.width() > page.height()) != (paper.width() > paper.height());
    if (rotate)
        page.transpose();
    const QSize target = page.scaled(paper.size(), Qt::KeepAspectRatio).toSize();
    QImage image = m_pdf->render(m_page, rotate ? target.transposed() : target);
    if (rotate)
        image = image.transformed(QTransform().rotate(90));
    painter.drawImage(QRect(paper.topLeft(), target), image);
    done(painter.end());
}

void ReaderVC::fillContextMenu(QMenu *menu)
{
    if (!m_web || !m_web->hasSelection())
        return;
    menu->addAction(QStringLiteral("コピー"), this, [this] { m_web->triggerPageAction(QWebEnginePage::Copy); });
}
