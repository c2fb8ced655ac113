#include "ReaderVC.h"

#include "BookPage.h"
#include "BookWebProfile.h"
#include "ImageViewer.h"
#include "OutlineRowDelegate.h"
#include "PageScripts.h"
#include "PdfPane.h"
#include "ReaderAnnotationActions.h"
#include "core/account/AccountSession.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/library/DataBaseHelper.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/UserDefaults.h"
#include "core/reader/BookInfo.h"
#include "core/reader/BookOpening.h"
#include "core/reader/ReadingState.h"
#include "core/reader/StayTimeCounter.h"
#include "core/store/StoreManager.h"
#include "core/store/VamoManager.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/Logging.h"
#include "ui/app/MainWindow.h"
#include "ui/app/MsgBox.h"
#include "ui/app/Navigation.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

ReaderVC::ReaderVC(Navigation &app)
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
    for (QAction *a : { m_fontDown, m_fontDefault, m_fontUp })
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
    if (ReadingState::uploadsOnLeave(BookInfo::fromMap(info), m_loaded))
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
        page.pageIndex = m_history.page();
        if (m_outline && m_outline->currentItem())
            page.naviTitle = m_outline->currentItem()->text(0).section(u'\n', 0, 0);
        return page;
    });
    m_stay->bookOpened(book.bookId, book.bookAuthor, book.bookTitle);
}

void ReaderVC::appear()
{
    m_app.window()->installToolbar(m_toolbar);
    m_app.window()->setWindowTitle(QStringLiteral("%1 - %2").arg(
        QCoreApplication::applicationName(), info.value(QStringLiteral("Title")).toString()));
    if (m_loaded)
        return;
    m_loaded = true;
    // Printing only for books the publisher allows it for.
    m_print->setVisible(info.value(QStringLiteral("print")).toBool());
    const int last = info.value(QStringLiteral("lastPage"), -1).toInt();
    if (info.contains(QStringLiteral("pdfurl"))) {
        m_pdf = new PdfPane(info.value(QStringLiteral("pdfurl")).toString(), this);
        layout()->addWidget(m_pdf);
        startCounting();
        setUpAnnotations(false);
        connect(m_pdf, &PdfPane::pageShown, this, [this](int p, int count) {
            const bool turned = p != m_history.page() || !m_pdfShown;
            m_pdfShown = true;
            m_history.showPage(p);
            m_pageLabel->setText(QStringLiteral("%1 / %2").arg(p + 1).arg(count));
            if (turned)
                m_stay->startIncreasingStaytime();
            m_annotations->reloadBookMark();
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
    // Followed a link: going back returns to the book before. Opened from
    // the shelf, or reopened by going back: no way back yet.
    const bool fromLink = documentUrl && befoInfo != info;
    m_history.opened(last, fromLink, !fromLink && documentUrl);
    m_epub = std::make_unique<EPUBManager>(root);
    if (m_epub->spine().isEmpty()) {
        // Back to the shelf rather than an empty reader.
        MsgBox::errorMessage(QStringLiteral("この本を開けません"));
        QMetaObject::invokeMethod(
            this, [this] { m_app.changeToShelf(); }, Qt::QueuedConnection);
        return;
    }
    const QString title
        = QUrl::fromPercentEncoding(m_epub->metadata().value(QStringLiteral("dc:title")).toString().toUtf8());
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
    connect(m_outline, &QTreeWidget::itemActivated, this,
        [this](QTreeWidgetItem *item) { openOutlineItem(item); });
    connect(
        m_outline, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { openOutlineItem(item); });
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
    connect(m_web, &QWebEngineView::loadStarted, this, [this] { ++m_loadsStarted; });
    connect(m_web, &QWebEngineView::loadFinished, this, &ReaderVC::didFinishLoad);
    // Not the browser's menu (back, reload, page source): only what applies
    // to the selected text.
    m_web->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_web, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        // The highlight under the pointer decides the annotation items.
        const qreal zoom = m_web->zoomFactor() > 0 ? m_web->zoomFactor() : 1.0;
        const QPoint css(int(pos.x() / zoom), int(pos.y() / zoom));
        m_annotations->highlightAt(css, [this, pos](const AnnotationTarget &target) {
            QMenu menu(this);
            fillContextMenu(&menu);
            m_annotations->addContextItems(&menu, m_web->hasSelection(), target);
            if (!menu.isEmpty())
                menu.exec(m_web->mapToGlobal(pos));
        });
    });
    setUpAnnotations(true);
    m_split->setStretchFactor(1, 1);
    layout()->addWidget(m_split);
    for (QAction *a : { m_fontDown, m_fontDefault, m_fontUp })
        a->setVisible(true);
    // The size last chosen in any book, else the book's own.
    const QVariant stored = UserDefaults::value(QString::fromLatin1(UserDefaults::bookFontSize));
    setFontSize(
        stored.isValid() ? stored.toInt() : info.value(QStringLiteral("fontSize"), kDefaultFontSize).toInt());
    m_back->setVisible(true);
    syncBack();

    // The splash covers the reader (outline closed) for its seconds.
    QUrl splashUrl = root;
    splashUrl.setPath(QStringLiteral("/OEBPS/splash_image1.jpg"));
    const QImage splash
        = QImage::fromData(EPUBURLProtcol::shared().dataForUrl(splashUrl).value_or(QByteArray()));
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
        m_split->setSizes({ 0, std::max(1, width()) });
        bool number = false;
        double seconds
            = m_epub->metadata().value(QStringLiteral("dc:splash")).toString().trimmed().toDouble(&number);
        if (!number || seconds < 0 || seconds > 30)
            seconds = 2.0;
        QTimer::singleShot(int(seconds * 1000), this, &ReaderVC::splashClear);
    } else {
        restoreSplit();
    }

    if (documentUrl)
        m_web->load(url);
    else
        redispByPage();
    // The outline row of the opening page.
    if (QTreeWidgetItem *row = m_outline->topLevelItem(m_history.page())) {
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
    const auto fraction = ReadingState::storedSplit();
    const int outline = fraction ? int(*fraction * total + 0.5) : 240;
    m_split->setSizes({ outline, std::max(1, total - outline) });
}

void ReaderVC::savesplit()
{
    // Not while the splash has the outline closed.
    if (!m_split || m_splash || m_split->width() <= 0 || m_outline->isHidden())
        return;
    ReadingState::saveSplit(double(m_outline->width()) / m_split->width());
}

void ReaderVC::bookLinkClicked(const QUrl &url)
{
    QVariantMap query;
    for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        query.insert(key, value);
    const auto target
        = BookOpening::bookWithIdentifier(query.value(QStringLiteral("paramBookId")).toString());
    if (!target || !target->title) {
        MsgBox::showMessage(QStringLiteral("指定された本が存在しません"), QStringLiteral("Warning"));
        return;
    }
    QPointer<ReaderVC> self(this);
    MsgBox::ask(QStringLiteral("他の書籍<<%1>>コンテンツを開きます").arg(*target->title),
        QStringLiteral("遷移しますか？"), [self, query](bool ok) {
            if (ok && self)
                self->urlHandle(query);
        });
}

void ReaderVC::urlHandle(const QVariantMap &query)
{
    const auto target
        = BookOpening::bookWithIdentifier(query.value(QStringLiteral("paramBookId")).toString());
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
    BookOpening::markOpened(*target->fileName, &m_app.shareHelper());
    BookInfo targetInfo = BookOpening::infoForBook(*target->fileName);
    targetInfo.url = targetUrl;
    targetInfo.lastPage = -1;
    BookInfo previous = BookInfo::fromMap(info);
    previous.url = m_epub->rootURL();
    previous.fontSize = fontSize();
    previous.lastPage = -1;
    m_app.changeToReader(targetInfo.toMap(), previous.toMap(), m_currentManifestID);
}

void ReaderVC::tapBackBtn()
{
    const NavigationHistory::Back back = m_history.back();
    syncBack();
    switch (back.kind) {
    case NavigationHistory::Back::None:
        return;
    case NavigationHistory::Back::OtherBook: {
        QPointer<ReaderVC> self(this);
        MsgBox::ask(QStringLiteral("元の書籍<<%1>>コンテンツを戻ります")
                        .arg(befoInfo.value(QStringLiteral("Title")).toString()),
            QStringLiteral("戻りますか？"), [self](bool ok) {
                if (!self)
                    return;
                if (!ok) {
                    self->m_history.backDeclined();
                    self->syncBack();
                    return;
                }
                // The document the link was followed from.
                QVariantMap back = self->befoInfo;
                const EPUBManager previous(back.value(QStringLiteral("url")).toUrl());
                const QString href = previous.manifest()
                                         .value(self->befoManifestID)
                                         .toMap()
                                         .value(QStringLiteral("href"))
                                         .toString();
                if (!href.isEmpty())
                    back.insert(QStringLiteral("url"), previous.urlForContent(href));
                self->saveStatus();
                self->m_app.changeToReader(back, back, QString());
            });
        return;
    }
    case NavigationHistory::Back::ShowPage:
    case NavigationHistory::Back::ShowPageScroll:
        // The scroll position, if any, follows once the page is in.
        if (m_pdf)
            goToPage(back.page);
        else
            redispByPage();
        return;
    case NavigationHistory::Back::Scroll:
        // An in-page jump: only the scroll position goes back.
        scrollTo(back.offset);
        return;
    }
}

void ReaderVC::syncBack()
{
    m_back->setEnabled(m_history.backEnabled());
}

void ReaderVC::scrollTo(int offset)
{
    if (m_web)
        PageScripts::run(m_web->page(), QStringLiteral("window.scrollTo(0,%1)").arg(offset));
}

void ReaderVC::tapDir(int segment)
{
    if (m_pdf) {
        goToPage(m_history.page() + (segment == 0 ? -1 : 1));
        return;
    }
    if (!m_epub)
        return;
    m_history.turn(segment == 0 ? -1 : 1, int(m_epub->spine().size()));
    redispByPage();
}

void ReaderVC::redispByPage()
{
    const int page = m_history.page();
    if (!m_epub || page < 0 || page >= m_epub->spine().size())
        return;
    closeImageShow();
    const QString href = m_epub->spine().at(page).toMap().value(QStringLiteral("href")).toString();
    m_web->load(m_epub->urlForContent(href));
}

void ReaderVC::navigationStarted(const QUrl &url)
{
    if (!m_epub)
        return;
    // A jump to a place keeps where the page was, for going back.
    const bool jump = url.toString().contains(u'#');
    m_history.navigationStarted(
        spineIndex(url), jump ? std::optional<int>(int(m_web->page()->scrollPosition().y())) : std::nullopt);
    m_expectedUrl = url;
    m_shownDocument = url.adjusted(QUrl::RemoveFragment);
    if (m_annotations)
        m_annotations->pageChanged();
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
    // page was before it. The jump counts (and going back is offered) once
    // that offset is known: going back any earlier would reload the page
    // instead of scrolling.
    QPointer<ReaderVC> self(this);
    PageScripts::run(
        m_web->page(), QStringLiteral("qmTakeJumpOffset()"), [self, url](const QVariant &offset) {
            if (!self || !self->m_epub)
                return;
            const bool known = offset.isValid() && offset.toInt() >= 0;
            self->m_history.jumpedWithinDocument(
                self->spineIndex(url), known ? std::optional<int>(offset.toInt()) : std::nullopt);
            self->pageNavigated(url);
        });
}

std::optional<int> ReaderVC::spineIndex(const QUrl &url) const
{
    std::optional<int> found;
    const QString path = url.path();
    for (int i = 0; i < m_epub->spine().size(); ++i) {
        const QString href = m_epub->spine().at(i).toMap().value(QStringLiteral("href")).toString();
        if (!href.isEmpty() && path.endsWith(href))
            found = i;
    }
    return found;
}

void ReaderVC::pageNavigated(const QUrl &url)
{
    if (const auto i = spineIndex(url)) {
        m_currentManifestID = m_epub->spine().at(*i).toMap().value(QStringLiteral("id")).toString();
        m_pageLabel->setText(QStringLiteral("%1/%2").arg(*i + 1).arg(m_epub->spine().size()));
    }
    syncBack();
    QTimer::singleShot(10, this, [this, url] { webchangelate(url); });
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
    m_history.navigationSettled();
    syncBack();
}

void ReaderVC::didFinishLoad(bool ok)
{
    if (!ok || !m_web)
        return;
    if (QWidget *input = m_web->focusProxy())
        input->installEventFilter(this); // made with the first document
    if (const auto offset = m_history.loadFinished())
        scrollTo(*offset);
    // The page scripts must answer before anything relies on them; a page
    // without them cannot be annotated, so the reader closes.
    checkPageScripts(m_loadsStarted, 3);
}

void ReaderVC::checkPageScripts(quint64 load, int attempts)
{
    QPointer<ReaderVC> self(this);
    PageScripts::verify(m_web->page(), [self, load, attempts](bool loaded) {
        if (!self || !self->m_web)
            return;
        if (loaded) {
            qCDebug(lcContent) << "load HighlightdataEnd";
            if (self->m_annotations)
                self->m_annotations->reloadBmHl();
            if (self->m_stay)
                self->m_stay->startIncreasingStaytime();
            return;
        }
        // A newer page has started loading meanwhile: the answer may come
        // from it before its scripts are in; its own load is checked.
        if (self->m_loadsStarted != load)
            return;
        // On a busy machine the answer can come from a document the engine
        // is still putting in place: ask again a little later before
        // concluding that the scripts are missing.
        if (attempts > 1) {
            QTimer::singleShot(250, self, [self, load, attempts] {
                if (self && self->m_web && self->m_loadsStarted == load)
                    self->checkPageScripts(load, attempts - 1);
            });
            return;
        }
        // Only a (X)HTML page needs them; a picture or drawing shown as a
        // page is read without.
        self->m_web->page()->runJavaScript(
            QStringLiteral("document.documentElement ? document.documentElement.namespaceURI : ''"),
            [self, load](const QVariant &ns) {
                if (!self || self->m_loadsStarted != load)
                    return;
                if (ns.toString() == QLatin1String("http://www.w3.org/1999/xhtml")) {
                    qCWarning(lcContent)
                        << "QMJavacriptCouldNotLoadException: because Javascript could not load.";
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
    if (m_outline && watched == m_outline->viewport() && event->type() == QEvent::Resize
        && !m_outlineRelayout) {
        // Once for a burst of resizes (dragging the divider).
        m_outlineRelayout = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_outlineRelayout = false;
                m_outline->doItemsLayout();
            },
            Qt::QueuedConnection);
    }
    if (m_web && watched == m_web && event->type() == QEvent::ChildAdded && m_web->focusProxy())
        m_web->focusProxy()->installEventFilter(this); // the render widget may be made anew
    if (m_web && watched == m_web->focusProxy()) {
        // The release that ends a double click over an image opens it.
        if (event->type() == QEvent::MouseButtonDblClick
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
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
                const QImage image
                    = QImage::fromData(EPUBURLProtcol::shared().dataForUrl(src).value_or(QByteArray()));
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
    return m_web ? m_web->page()->settings()->fontSize(QWebEngineSettings::DefaultFontSize)
                 : kDefaultFontSize;
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
        QStringList lines { e.value(QStringLiteral("text")).toString() };
        QStringList extra;
        for (const char *key : { "category", "author" })
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
        target = m_epub->manifest()
                     .value(item->data(0, Qt::UserRole + 1).toString())
                     .toMap()
                     .value(QStringLiteral("href"))
                     .toString();
    if (target.isEmpty())
        return;
    m_history.movedByReader();
    closeImageShow();
    m_web->load(m_epub->urlForContent(target));
}

void ReaderVC::goToPage(int page)
{
    if (m_pdf) {
        m_pdf->goToPage(page);
        return;
    }
    if (!m_epub)
        return;
    m_history.jumpTo(std::clamp(page, 0, int(m_epub->spine().size()) - 1));
    redispByPage();
}

void ReaderVC::saveStatus()
{
    if (!m_loaded)
        return;
    ReadingState::save(info.value(QStringLiteral("BookID"), -1).toLongLong(), m_history.page(),
        m_web ? std::optional<int>(fontSize()) : std::nullopt);
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
    if (!m_pdf) {
        done(false);
        return;
    }
    m_pdf->printTo(printer, std::move(done));
}

void ReaderVC::fillContextMenu(QMenu *menu)
{
    if (!m_web || !m_web->hasSelection())
        return;
    menu->addAction(
        QStringLiteral("コピー"), this, [this] { m_web->triggerPageAction(QWebEnginePage::Copy); });
}

void ReaderVC::setUpAnnotations(bool epub)
{
    ReaderAnnotationActions::Hooks hooks;
    hooks.page = [this] {
        AnnotationPage page;
        page.bookID = info.value(QStringLiteral("BookID"), -1).toLongLong();
        page.pageIdx = std::max(0, this->page());
        if (m_epub) {
            page.metaBookID = m_epub->metadata().value(QStringLiteral("dc:identifier")).toString();
            // The outline entry at the page's position names a highlight's
            // chapter.
            const QVariantList toc = m_epub->toc().value_or(QVariantList());
            if (page.pageIdx < toc.size()) {
                const QVariantMap entry = toc.at(page.pageIdx).toMap();
                page.tocId = entry.value(QStringLiteral("id")).toString();
                page.contentTitle = entry.value(QStringLiteral("text")).toString();
            }
        } else {
            page.metaBookID = info.value(QStringLiteral("metaBookId")).toString();
        }
        return page;
    };
    hooks.web = [this]() -> QWebEnginePage * { return m_web ? m_web->page() : nullptr; };
    hooks.bookmarkManifestId = [this]() -> std::optional<QString> {
        if (m_pdf)
            return QString::number(std::max(0, page()));
        if (m_epub && page() >= 0 && page() < m_epub->spine().size())
            return m_epub->spine().at(page()).toMap().value(QStringLiteral("id")).toString();
        return std::nullopt;
    };
    hooks.showPage = [this](int pageIdx) { goToPage(pageIdx); };
    hooks.bookTitle = [this] { return info.value(QStringLiteral("Title")).toString(); };
    m_annotations = new ReaderAnnotationActions(this, std::move(hooks));
    m_annotations->addTo(m_toolbar, epub);
    m_annotations->reloadBookMark();
}
