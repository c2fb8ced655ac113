#include "EpubPane.h"

#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include "BookPage.h"
#include "EpubPaging.h"
#include "OutlineRowDelegate.h"
#include "PageScripts.h"
#include "ReaderSearch.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/reader/NavigationHistory.h"
#include "core/reader/PageStyle.h"
#include "core/reader/ReadingState.h"
#include "core/util/Logging.h"

#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <utility>

EpubPane::EpubPane(std::unique_ptr<EPUBManager> book, NavigationHistory &history, QWebEngineProfile *profile,
    ConfigDictionary &config, QWidget *parent)
    : QWidget(parent)
    , m_book(std::move(book))
    , m_history(history)
    , m_config(config)
    , m_split(new QSplitter(this))
    , m_outline(new QTreeWidget(m_split))
    , m_web(new QWebEngineView(m_split))
{
    setObjectName(QStringLiteral("epubPane"));
    m_split->setChildrenCollapsible(true);
    m_outline->setObjectName(QStringLiteral("outline"));
    m_outline->setHeaderHidden(true);
    m_outline->setWordWrap(true);
    m_outline->setItemDelegate(new OutlineRowDelegate(m_outline));
    // Row heights follow the pane's width.
    m_outline->viewport()->installEventFilter(this);
    if (m_book->toc())
        fillOutline(nullptr, *m_book->toc(), 0);
    m_outline->setVisible(m_outline->topLevelItemCount() > 0);
    connect(m_outline, &QTreeWidget::itemActivated, this,
        [this](QTreeWidgetItem *item) { openOutlineItem(item); });
    connect(
        m_outline, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { openOutlineItem(item); });

    m_web->setObjectName(QStringLiteral("bookView"));
    auto *page = new BookPage(profile, m_web);
    PageScripts::install(page);
    connect(page, &BookPage::bookLinkRequested, this, &EpubPane::bookLinkRequested);
    connect(page, &BookPage::navigationAccepted, this, &EpubPane::navigationStarted);
    connect(m_web, &QWebEngineView::urlChanged, this, &EpubPane::urlShown);
    m_web->setPage(page);
    connect(page, &QWebEnginePage::selectionChanged, this, [this] {
        if (m_closing)
            return;
        if (m_wordPending && m_web->hasSelection())
            offerSelectedWord();
    });
    // Double clicks on an image open the viewer; the view's input arrives
    // at its render widget.
    m_web->installEventFilter(this);
    if (m_web->focusProxy())
        m_web->focusProxy()->installEventFilter(this);
    connect(m_web, &QWebEngineView::loadStarted, this, [this] {
        ++m_loadsStarted;
        m_loadedSpine.reset();
    });
    m_placeTimer = new QTimer(this);
    m_placeTimer->setSingleShot(true);
    m_placeTimer->setInterval(200);
    connect(m_placeTimer, &QTimer::timeout, this, &EpubPane::askPlace);
    connect(page, &QWebEnginePage::scrollPositionChanged, this, &EpubPane::askPlaceSoon);
    connect(page, &QWebEnginePage::contentsSizeChanged, this, &EpubPane::askPlaceSoon);
    connect(m_web, &QWebEngineView::loadFinished, this, &EpubPane::didFinishLoad);
    connect(m_web, &QWebEngineView::printFinished, this, [this](bool ok) {
        if (!m_closing)
            finishPrint(ok);
    });
    // Not the browser's menu (back, reload, page source): only what applies
    // to the selected text.
    m_web->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_web, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (isSignalConnected(QMetaMethod::fromSignal(&EpubPane::contextMenuRequested))) {
            emit contextMenuRequested(pos);
            return;
        }
        QMenu menu(this);
        fillContextMenu(&menu);
        if (!menu.isEmpty())
            menu.exec(m_web->mapToGlobal(pos));
    });
    m_paging = new EpubPaging(m_web, this);
    connect(m_paging, &EpubPaging::itemWanted, this, &EpubPane::pagedToItem);
    m_writing = WritingMode::of(*m_book);
    m_writingKey = WritingMode::keyFor(m_book->metadata().value(QStringLiteral("dc:identifier")).toString());
    m_vertical = WritingMode::showsVertical(m_writing, WritingMode::storedChoice(m_writingKey));
    applyWritingMode();
    m_split->setStretchFactor(1, 1);
    m_split->installEventFilter(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_split);
}

EpubPane::~EpubPane()
{
    // The view goes first, while the pane is whole: the page answers its
    // pending script calls as it goes, and those answers must find a pane
    // that is closing, not a half-destroyed one.
    m_closing = true;
    // A print under way is dropped with the screen that asked for it.
    if (m_printWatchdog)
        m_printWatchdog->stop();
    m_printDone = nullptr;
    m_placeTimer->stop();
    m_web->disconnect(this);
    m_web->page()->disconnect(this);
    delete m_imageViewer;
    delete m_web;
}

void EpubPane::open(const QUrl &document)
{
    showSplash();
    // The paging keys work from the start.
    m_web->setFocus();
    if (document.path().size() > 1)
        m_web->load(document);
    else
        showHistoryPage();
    // The outline row of the opening page.
    if (QTreeWidgetItem *row = m_outline->topLevelItem(m_history.page())) {
        m_selectingOutline = true;
        m_outline->setCurrentItem(row);
        m_selectingOutline = false;
    }
}

void EpubPane::showSplash()
{
    QUrl splashUrl = m_book->rootURL();
    splashUrl.setPath(QStringLiteral("/OEBPS/splash_image1.jpg"));
    const QImage splash = QImage::fromData(m_book->protocol().dataForUrl(splashUrl).value_or(QByteArray()));
    if (splash.isNull()) {
        restoreSplit();
        return;
    }
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
        = m_book->metadata().value(QStringLiteral("dc:splash")).toString().trimmed().toDouble(&number);
    if (!number || seconds < 0 || seconds > 30)
        seconds = 2.0;
    QTimer::singleShot(int(seconds * 1000), this, &EpubPane::splashClear);
}

void EpubPane::splashClear()
{
    if (!m_splash)
        return;
    // Later: this may run inside the splash's own click.
    m_splash->hide();
    m_splash->deleteLater();
    m_splash = nullptr;
    restoreSplit();
}

void EpubPane::restoreSplit()
{
    const int total = std::max(m_split->width(), width());
    const auto fraction = ReadingState::storedSplit(m_config);
    const int outline = fraction ? int(*fraction * total + 0.5) : 240;
    m_split->setSizes({ outline, std::max(1, total - outline) });
}

void EpubPane::saveSplit()
{
    // Only a share the reader has seen: a pane left before it was laid out
    // has no width of its own yet.
    if (m_splash || !m_splitLaidOut || m_split->width() <= 0 || m_outline->isHidden())
        return;
    ReadingState::saveSplit(m_config, double(m_outline->width()) / m_split->width());
}

int EpubPane::pageCount() const
{
    return int(m_book->spine().size());
}

void EpubPane::goToPage(int page)
{
    m_history.jumpTo(std::clamp(page, 0, pageCount() - 1));
    showHistoryPage();
}

void EpubPane::turn(int step)
{
    m_history.turn(step < 0 ? -1 : 1, pageCount());
    showHistoryPage();
}

void EpubPane::showHistoryPage()
{
    const int page = m_history.page();
    if (page < 0 || page >= pageCount())
        return;
    closeImageShow();
    const QString href = m_book->spine().at(page).toMap().value(QStringLiteral("href")).toString();
    m_web->load(m_book->urlForContent(href));
}

void EpubPane::setPendingPlace(const ReadingPlace &place)
{
    m_pendingPlace = place;
    putPendingScript(place);
}

void EpubPane::showPlace(const ReadingPlace &place)
{
    const int index = std::clamp(place.spineIndex, 0, pageCount() - 1);
    ReadingPlace target = place;
    target.spineIndex = index;
    if (m_loadedSpine == index) {
        PageScripts::run(m_web->page(), QStringLiteral("qmApplyPlace(%1)").arg(target.toJson()));
        m_place = target;
        askPlaceSoon();
        emit placeChanged(m_place);
        return;
    }
    setPendingPlace(target);
    goToPage(index);
}

void EpubPane::putPendingScript(const std::optional<ReadingPlace> &place)
{
    QWebEngineScriptCollection &scripts = m_web->page()->scripts();
    const QString name = QStringLiteral("readingPlacePending");
    for (const QWebEngineScript &old : scripts.find(name))
        scripts.remove(old);
    if (!place)
        return;
    // Made with the document, before anything of it is painted: the place
    // for the page script, and the page hidden until it is applied (at
    // most a few seconds, should the page script never run).
    QWebEngineScript script;
    script.setName(name);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(PageScripts::kWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(
        QStringLiteral("(function () {\n"
                       "  window.qmPendingPlace = %1;\n"
                       "  function hide() { document.documentElement.style.setProperty('visibility', "
                       "'hidden'); }\n"
                       "  if (document.documentElement) hide();\n"
                       "  else { var mo = new MutationObserver(function () {\n"
                       "    if (document.documentElement) { mo.disconnect(); hide(); } });\n"
                       "    mo.observe(document, { childList: true }); }\n"
                       "  setTimeout(function () { if (document.documentElement)\n"
                       "    document.documentElement.style.removeProperty('visibility'); }, 4000);\n"
                       "})();")
            .arg(place->toJson()));
    scripts.insert(script);
}

void EpubPane::askPlaceSoon()
{
    if (!m_closing)
        m_placeTimer->start();
}

void EpubPane::askPlace()
{
    if (m_closing || !m_loadedSpine)
        return;
    const int spine = *m_loadedSpine;
    const quint64 load = m_loadsStarted;
    QPointer<EpubPane> self(this);
    PageScripts::run(m_web->page(),
        QStringLiteral("typeof qmCurrentPlace === 'function' ? qmCurrentPlace() : ''"),
        [self, spine, load](const QVariant &answer) {
            if (!self || self->m_closing || self->m_loadsStarted != load || self->m_loadedSpine != spine)
                return;
            const auto place = ReadingPlace::fromJson(answer.toString(), spine);
            if (!place || *place == self->m_place)
                return;
            self->m_place = *place;
            emit self->placeChanged(self->m_place);
        });
}

void EpubPane::scrollTo(int offset)
{
    PageScripts::run(m_web->page(), QStringLiteral("window.scrollTo(0,%1)").arg(offset));
}

void EpubPane::printTo(QPrinter *printer, std::function<void(bool)> done)
{
    if (m_printDone) {
        // The engine prints one page at a time and drops a second request
        // without a word; answering now keeps both callers' waits finite.
        qCWarning(lcContent) << "print refused: another print is under way";
        done(false);
        return;
    }
    limitResolution(printer);
    m_printDone = std::move(done);
    if (!m_printWatchdog) {
        m_printWatchdog = new QTimer(this);
        m_printWatchdog->setSingleShot(true);
        connect(m_printWatchdog, &QTimer::timeout, this, [this] {
            qCWarning(lcContent) << "print gave no answer in" << kPrintTimeoutMs << "ms";
            finishPrint(false);
        });
    }
    m_printWatchdog->start(kPrintTimeoutMs);
    m_web->print(printer);
}

void EpubPane::finishPrint(bool ok)
{
    if (m_printWatchdog)
        m_printWatchdog->stop();
    if (auto done = std::exchange(m_printDone, nullptr))
        done(ok);
}

QString EpubPane::currentOutlineTitle() const
{
    return m_outline->currentItem() ? m_outline->currentItem()->text(0).section(u'\n', 0, 0) : QString();
}

void EpubPane::navigationStarted(const QUrl &url)
{
    // A jump to a place keeps where the page was, for going back.
    const bool jump = url.toString().contains(u'#');
    m_history.navigationStarted(
        spineIndex(url), jump ? std::optional<int>(int(m_web->page()->scrollPosition().y())) : std::nullopt);
    // A place waits for its own spine item only.
    if (m_pendingPlace && spineIndex(url) != m_pendingPlace->spineIndex) {
        m_pendingPlace.reset();
        putPendingScript(std::nullopt);
    }
    m_expectedUrl = url;
    m_shownDocument = url.adjusted(QUrl::RemoveFragment);
    emit documentChanging();
    pageNavigated(url);
}

void EpubPane::urlShown(const QUrl &url)
{
    if (url == m_expectedUrl) {
        m_expectedUrl.clear(); // announced by navigationStarted
        return;
    }
    if (!url.hasFragment() || url.adjusted(QUrl::RemoveFragment) != m_shownDocument)
        return;
    // A jump within the shown document: the page script noted where the
    // page was before it. The jump counts (and going back is offered) once
    // that offset is known: going back any earlier would reload the page
    // instead of scrolling.
    QPointer<EpubPane> self(this);
    PageScripts::run(
        m_web->page(), QStringLiteral("qmTakeJumpOffset()"), [self, url](const QVariant &offset) {
            if (!self || self->m_closing)
                return;
            const bool known = offset.isValid() && offset.toInt() >= 0;
            self->m_history.jumpedWithinDocument(
                self->spineIndex(url), known ? std::optional<int>(offset.toInt()) : std::nullopt);
            self->pageNavigated(url);
        });
}

std::optional<int> EpubPane::spineIndex(const QUrl &url) const
{
    std::optional<int> found;
    const QString path = url.path();
    for (int i = 0; i < m_book->spine().size(); ++i) {
        const QString href = m_book->spine().at(i).toMap().value(QStringLiteral("href")).toString();
        if (!href.isEmpty() && path.endsWith(href))
            found = i;
    }
    return found;
}

void EpubPane::pageNavigated(const QUrl &url)
{
    if (const auto i = spineIndex(url)) {
        m_currentManifestID = m_book->spine().at(*i).toMap().value(QStringLiteral("id")).toString();
        m_paging->setItem(*i, pageCount());
        // Until the page tells: the place it is asked to show, else the top.
        if (m_pendingPlace && m_pendingPlace->spineIndex == *i) {
            m_place = *m_pendingPlace;
            emit placeChanged(m_place);
        } else if (m_place.spineIndex != *i) {
            m_place = ReadingPlace::at(*i);
            emit placeChanged(m_place);
        }
        emit pageShown(*i, pageCount());
    }
    emit historyChanged();
    QTimer::singleShot(10, this, [this, url] { webchangelate(url); });
}

void EpubPane::webchangelate(const QUrl &url)
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
    emit historyChanged();
}

void EpubPane::didFinishLoad(bool ok)
{
    const auto pending = std::exchange(m_pendingPlace, std::nullopt);
    if (pending)
        putPendingScript(std::nullopt); // one load only
    if (!ok)
        return;
    if (QWidget *input = m_web->focusProxy())
        input->installEventFilter(this); // made with the first document
    m_loadedSpine = spineIndex(m_web->url());
    if (const auto offset = m_history.loadFinished()) {
        scrollTo(*offset);
    } else if (pending && m_loadedSpine == pending->spineIndex) {
        // Applied by the page script as the document came; again here for
        // a document it could not reach in time (and to show the page).
        PageScripts::run(m_web->page(),
            QStringLiteral("typeof qmApplyPlace === 'function' && qmApplyPlace(%1)").arg(pending->toJson()));
    }
    landAtEndIfAsked();
    askPlaceSoon();
    // The page scripts must answer before anything relies on them; a page
    // without them cannot be annotated.
    checkPageScripts(m_loadsStarted, 3);
}

void EpubPane::checkPageScripts(quint64 load, int attempts)
{
    QPointer<EpubPane> self(this);
    PageScripts::verify(m_web->page(), [self, load, attempts](bool loaded) {
        if (!self || self->m_closing)
            return;
        if (loaded) {
            qCDebug(lcContent) << "load HighlightdataEnd";
            emit self->pageScriptsReady();
            if (self)
                emit self->pageReady();
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
                if (self && self->m_loadsStarted == load)
                    self->checkPageScripts(load, attempts - 1);
            });
            return;
        }
        // Only a (X)HTML page needs them; a picture or drawing shown as a
        // page is read without.
        self->m_web->page()->runJavaScript(
            QStringLiteral("document.documentElement ? document.documentElement.namespaceURI : ''"),
            [self, load](const QVariant &ns) {
                if (!self || self->m_closing || self->m_loadsStarted != load)
                    return;
                if (ns.toString() == QLatin1String("http://www.w3.org/1999/xhtml")) {
                    qCWarning(lcContent)
                        << "QMJavacriptCouldNotLoadException: because Javascript could not load.";
                    emit self->pageScriptsMissing();
                } else {
                    emit self->pageReady();
                }
            });
    });
}

bool EpubPane::eventFilter(QObject *watched, QEvent *event)
{
    if (m_closing) // the view is going: nothing of it may be asked
        return false;
    if (watched == m_split && (event->type() == QEvent::Show || event->type() == QEvent::Resize)
        && m_split->isVisible())
        m_splitLaidOut = true;
    if (watched == this && event->type() == QEvent::Resize && m_splash)
        m_splash->setGeometry(rect());
    if (m_splash && watched == m_splash && event->type() == QEvent::MouseButtonPress) {
        splashClear();
        return true;
    }
    if (watched == m_outline->viewport() && event->type() == QEvent::Resize && !m_outlineRelayout) {
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
    if (watched == m_web && event->type() == QEvent::ChildAdded && m_web->focusProxy())
        m_web->focusProxy()->installEventFilter(this); // the render widget may be made anew
    if (watched == m_web->focusProxy()) {
        // The release that ends a double click over an image opens it.
        if (event->type() == QEvent::MouseButtonDblClick
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            m_dblClicked = true;
            m_wordPending = false;
        } else if (event->type() == QEvent::MouseButtonRelease && m_dblClicked) {
            m_dblClicked = false;
            // Over text, the double click selected a word: offered for a
            // look-up.
            const QPoint pos = static_cast<QMouseEvent *>(event)->position().toPoint();
            m_wordAt = m_web->mapToGlobal(pos);
            QPointer<EpubPane> self(this);
            openImageAt(pos, [self](bool opened) {
                if (opened || !self || self->m_closing)
                    return;
                if (self->m_web->hasSelection()) {
                    self->offerSelectedWord();
                    return;
                }
                // Not reported yet: taken when it comes, for a few seconds.
                self->m_wordPending = true;
                QTimer::singleShot(3000, self, [self] {
                    if (self)
                        self->m_wordPending = false;
                });
            });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void EpubPane::openImageAt(const QPoint &pos, std::function<void(bool)> done)
{
    QPointer<EpubPane> self(this);
    PageScripts::run(m_web->page(), QStringLiteral("qmImageAt(%1,%2)").arg(pos.x()).arg(pos.y()),
        [self, done](const QVariant &result) {
            bool opened = false;
            const QUrl src(result.toString());
            // Only the book's own images, read from its archive.
            if (self && !self->m_closing && src.scheme() == QLatin1String(BookUrl::kScheme)
                && src.host() == self->m_book->rootURL().host()) {
                const QImage image
                    = QImage::fromData(self->m_book->protocol().dataForUrl(src).value_or(QByteArray()));
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

void EpubPane::closeImageShow()
{
    if (m_imageViewer)
        m_imageViewer->closeImageShow();
}

int EpubPane::fontSize() const
{
    return m_web->page()->settings()->fontSize(QWebEngineSettings::DefaultFontSize);
}

void EpubPane::setFontSize(int size)
{
    m_web->page()->settings()->setFontSize(
        QWebEngineSettings::DefaultFontSize, std::clamp(size, kMinFontSize, kMaxFontSize));
}

void EpubPane::fillOutline(QTreeWidgetItem *parent, const QVariantList &entries, int depth)
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

void EpubPane::openOutlineItem(QTreeWidgetItem *item)
{
    if (!item || m_selectingOutline)
        return;
    QString target = item->data(0, Qt::UserRole).toString();
    if (target.isEmpty())
        target = m_book->manifest()
                     .value(item->data(0, Qt::UserRole + 1).toString())
                     .toMap()
                     .value(QStringLiteral("href"))
                     .toString();
    if (target.isEmpty())
        return;
    m_history.movedByReader();
    closeImageShow();
    m_web->load(m_book->urlForContent(target));
}

void EpubPane::fillContextMenu(QMenu *menu)
{
    if (!m_web->hasSelection())
        return;
    menu->addAction(
        QStringLiteral("コピー"), this, [this] { m_web->triggerPageAction(QWebEnginePage::Copy); });
}

void EpubPane::setReadingTheme(ReadingTheme::Kind kind)
{
    m_theme = kind;
    m_web->page()->setBackgroundColor(QColor(ReadingTheme::background(kind)));
    applyPageStyle();
}

void EpubPane::setTypography(const Typography &typography)
{
    m_typography = typography;
    applyPageStyle();
}

void EpubPane::applyPageStyle()
{
    // Asked of the font database once: the faces installed do not change
    // while the program runs.
    static const QStringList installed = QFontDatabase::families();
    const QString script = PageStyle::pageScript(PageStyle::styleSheet(m_theme, m_typography, installed));
    QWebEnginePage *page = m_web->page();
    // The script goes in at document creation, so a page loaded later never
    // shows in the book's colours or layout first; the page background
    // covers the moment before the sheet applies.
    QWebEngineScriptCollection &scripts = page->scripts();
    const QString name = QStringLiteral("readingTheme");
    for (const QWebEngineScript &old : scripts.find(name))
        scripts.remove(old);
    QWebEngineScript pageScript;
    pageScript.setName(name);
    pageScript.setInjectionPoint(QWebEngineScript::DocumentCreation);
    pageScript.setWorldId(QWebEngineScript::MainWorld);
    pageScript.setRunsOnSubFrames(true);
    pageScript.setSourceCode(script);
    scripts.insert(pageScript);
    page->runJavaScript(script);
}

void EpubPane::offerSelectedWord()
{
    m_wordPending = false;
    emit wordDoubleClicked(m_web->selectedText(), m_wordAt);
}

std::optional<QString> EpubPane::bookmarkId(int page) const
{
    if (page < 0 || page >= pageCount())
        return std::nullopt;
    return m_book->spine().at(page).toMap().value(QStringLiteral("id")).toString();
}

QWidget *EpubPane::pageView() const
{
    return m_web;
}

QString EpubPane::selectedText() const
{
    return m_web->selectedText();
}

QWebEnginePage *EpubPane::webPage() const
{
    return m_web->page();
}

void EpubPane::attachSearch(ReaderSearch &search)
{
    search.attach(this);
}

void EpubPane::pageScreen(bool forward)
{
    m_paging->step(forward);
}

void EpubPane::pagedToItem(int item, bool atEnd)
{
    if (item < 0 || item >= pageCount())
        return;
    if (atEnd) {
        showItemAtEnd(item);
        return;
    }
    m_endOf = -1;
    m_history.turn(item - m_history.page(), pageCount());
    showHistoryPage();
}

void EpubPane::showItemAtEnd(int item)
{
    m_endOf = m_history.turn(item - m_history.page(), pageCount());
    showHistoryPage();
}

void EpubPane::landAtEndIfAsked()
{
    if (m_endOf < 0)
        return;
    // Only the document asked for: another navigation meanwhile cancels it.
    if (spineIndex(m_web->url()) == m_endOf)
        m_paging->scrollToEnd();
    m_endOf = -1;
}

void EpubPane::setVertical(bool vertical)
{
    if (!m_writing.allowsBoth || vertical == m_vertical)
        return;
    m_vertical = vertical;
    WritingMode::storeChoice(m_writingKey, vertical);
    applyWritingMode();
}

bool EpubPane::pagesRightToLeft() const
{
    // Vertical lines are laid right to left; shown horizontal, a book keeps
    // a right-to-left progression only when it is not its vertical lines'.
    return m_vertical || (m_writing.rightToLeft && !m_writing.vertical);
}

void EpubPane::applyWritingMode()
{
    // Only books that may be switched get a sheet: the others show as
    // their own sheets say.
    const std::optional<bool> shown = m_writing.allowsBoth ? std::optional(m_vertical) : std::nullopt;
    QWebEnginePage *page = m_web->page();
    QWebEngineScriptCollection &scripts = page->scripts();
    const QString name = QStringLiteral("writingMode");
    for (const QWebEngineScript &old : scripts.find(name))
        scripts.remove(old);
    QWebEngineScript script;
    script.setName(name);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(WritingMode::pageScript(shown));
    scripts.insert(script);
    page->runJavaScript(WritingMode::pageScript(shown));
}
