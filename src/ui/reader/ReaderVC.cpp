#include "ReaderVC.h"

#include "EpubPane.h"
#include "PdfPane.h"
#include "PdfReaderControls.h"
#include "QLBPDFReaderView.h"
#include "ReaderAnnotationActions.h"
#include "ReaderDictMenu.h"
#include "ReaderDisplayPopover.h"
#include "ReaderProgressBar.h"
#include "ReaderSearch.h"
#include "ReaderThemePalette.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/library/Library.h"
#include "core/platform/DataFolder.h"
#include "core/platform/UserDefaults.h"
#include "core/reader/BookInfo.h"
#include "core/reader/BookOpening.h"
#include "core/reader/BookSearchText.h"
#include "core/reader/PageTurn.h"
#include "core/reader/ReadingState.h"
#include "core/reader/StayTimeCounter.h"
#include "core/sync/QMShareHelper.h"
#include "ui/app/MainWindow.h"
#include "ui/app/MsgBox.h"
#include "ui/app/Navigation.h"

#include <QActionGroup>
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFontDatabase>
#include <QFutureWatcher>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QToolTip>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QtConcurrent/QtConcurrentRun>
#include <utility>

ReaderVC::ReaderVC(Navigation &app, BookInfo book, std::optional<LinkOrigin> from)
    : ScreenVC(app)
    , m_book(std::move(book))
    , m_from(std::move(from))
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
    m_search = new ReaderSearch(m_toolbar, this);
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
    // Ctrl++ where the keyboard has it, else Ctrl+= (the same key).
    m_fontUp->setShortcuts({ QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal) });
    m_fontDefault->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    // A PDF book's reading direction, in place of the go-back button.
    m_direction = m_toolbar->addAction(QStringLiteral("めくり方向"), this, [this] {
        if (m_pane)
            m_pane->showDirectionChoice(m_toolbar->widgetForAction(m_direction));
    });
    m_direction->setObjectName(QStringLiteral("directionAction"));
    m_direction->setVisible(false);
    m_themeAction = m_toolbar->addAction(QStringLiteral("表示"));
    m_themeAction->setObjectName(QStringLiteral("themeAction"));
    m_themeAction->setToolTip(QStringLiteral("表示 (テーマ・文字サイズ・書体・行間・余白・行の長さ)"));
    m_themes = new QActionGroup(this);
    m_themes->setObjectName(QStringLiteral("themeChoices"));
    const auto addTheme = [&](const QString &title, const QString &key) {
        auto *item = new QAction(title, m_themes);
        item->setCheckable(true);
        item->setData(key);
        connect(item, &QAction::triggered, this, [this, key] { chooseReadingTheme(key); });
    };
    addTheme(QStringLiteral("デスクトップに合わせる"), QString());
    for (const auto kind : ReadingTheme::all())
        addTheme(ReadingTheme::title(kind), ReadingTheme::key(kind));
    m_typography = Typography::fromStored(
        UserDefaults::stringForKey(QString::fromLatin1(Typography::kDefaultsKey)).value_or(QString()));
    m_display = new ReaderDisplayPopover(
        m_themes->actions(), { m_fontDown, m_fontDefault, m_fontUp }, QFontDatabase::families(), this);
    connect(m_display, &ReaderDisplayPopover::typographyChanged, this, &ReaderVC::chooseTypography);
    connect(m_themeAction, &QAction::triggered, this, &ReaderVC::tapDisplay);
    // The reader window follows the theme, not only the page.
    m_themePalette = new ReaderThemePalette({ this, m_toolbar }, this);
    auto *nextTheme = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T), this);
    connect(nextTheme, &QShortcut::activated, this,
        [this] { chooseReadingTheme(ReadingTheme::key(ReadingTheme::next(m_theme))); });
    for (QAction *a : { m_fontDown, m_fontDefault, m_fontUp })
        a->setVisible(false);
    auto *back = new QShortcut(QKeySequence(Qt::Key_Left), this);
    connect(back, &QShortcut::activated, this, [this] { arrowKey(true); });
    auto *forward = new QShortcut(QKeySequence(Qt::Key_Right), this);
    connect(forward, &QShortcut::activated, this, [this] { arrowKey(false); });
    // Vertical or horizontal lines, for books that allow both.
    m_verticalAction = m_toolbar->addAction(QStringLiteral("縦書き"));
    m_verticalAction->setObjectName(QStringLiteral("verticalAction"));
    m_verticalAction->setToolTip(QStringLiteral("縦書きと横書きを切り替える"));
    m_verticalAction->setCheckable(true);
    m_verticalAction->setVisible(false);
    connect(m_verticalAction, &QAction::toggled, this, [this](bool on) {
        if (EpubPane *epub = epubPane())
            epub->setVertical(on);
    });
    m_dict = new ReaderDictMenu(app.dictionaryManager(), this);
    auto *lookUp = new QShortcut(ReaderDictMenu::shortcut(), this);
    connect(lookUp, &QShortcut::activated, this, &ReaderVC::lookUpSelection);
    new QVBoxLayout(this);
    layout()->setContentsMargins(0, 0, 0, 0);
}

ReaderVC::~ReaderVC()
{
    m_stay.reset();
    saveStatus();
    if (m_pdfControls)
        m_pdfControls->save();
    if (m_pane)
        m_pane->saveSplit();
    // The pane goes while the history it follows is still here.
    delete std::exchange(m_pane, nullptr);
    QMShareHelper::syscAccessLog();
    // Leaving uploads the bookmarks of a store book.
    if (ReadingState::uploadsOnLeave(m_app.library().books(), m_book, m_loaded))
        m_app.shareHelper().syscBookMark(m_book.isPdf());
}

EpubPane *ReaderVC::epubPane() const
{
    return m_pane ? qobject_cast<EpubPane *>(m_pane->widget()) : nullptr;
}

PdfPane *ReaderVC::pdfPane() const
{
    return m_pane ? qobject_cast<PdfPane *>(m_pane->widget()) : nullptr;
}

void ReaderVC::startCounting()
{
    StayTimePage book;
    if (const EPUBManager *package = m_pane ? m_pane->package() : nullptr) {
        const QVariantMap metadata = package->metadata();
        book.bookId = metadata.value(QStringLiteral("dc:identifier")).toString();
        book.bookAuthor = metadata.value(QStringLiteral("dc:creator")).toString();
        book.bookTitle = metadata.value(QStringLiteral("dc:title")).toString();
    } else {
        book.bookId = m_book.metaBookId;
        book.bookAuthor = m_book.creator;
        book.bookTitle = m_book.title;
    }
    m_stay = std::make_unique<StayTimeCounter>(
        TimerSource::system(), m_app.library().readingLogs(), [this, book] {
            if (m_book.isPdf())
                return StayTimePage::pdfPage(book.bookId, book.bookAuthor, book.bookTitle, m_history.page());
            StayTimePage page = book;
            page.pageIndex = m_history.page();
            if (m_pane) {
                page.manifestID = m_pane->currentManifestID();
                page.naviTitle = m_pane->currentOutlineTitle();
            }
            return page;
        });
    m_stay->bookOpened(book.bookId, book.bookAuthor, book.bookTitle);
}

void ReaderVC::startIncreasingStaytime()
{
    if (m_stay)
        m_stay->startIncreasingStaytime();
}

void ReaderVC::appear()
{
    m_app.window()->installToolbar(m_toolbar);
    m_app.window()->setWindowTitle(
        QStringLiteral("%1 - %2").arg(QCoreApplication::applicationName(), m_book.title));
    if (m_loaded)
        return;
    m_loaded = true;
    // Printing only for books the publisher allows it for.
    m_print->setVisible(m_book.print);
    switch (m_book.format) {
    case BookFormat::Pdf:
        openPdf(m_book.lastPage);
        return;
    case BookFormat::Epub:
        openEpub(m_book.lastPage);
        return;
    }
}

void ReaderVC::placePane(ReaderPane *pane)
{
    m_pane = pane;
    // The pane lays itself out (splash, outline width) at the reader's size.
    pane->widget()->resize(size());
    layout()->addWidget(pane->widget());
    // A book that turns by a reading direction has its button in place of
    // going back.
    m_direction->setVisible(pane->hasReadingDirection());
    pane->setTypography(m_typography);
    applyReadingTheme();
}

void ReaderVC::openPdf(int last)
{
    m_app.window()->setWindowTitle(QStringLiteral("%1 - %2").arg(
        QCoreApplication::applicationName(), QUrl::fromPercentEncoding(m_book.title.toUtf8())));
    auto *pdf = new PdfPane(m_book.pdfUrl, m_app.config(), m_book.metaBookId, this);
    placePane(pdf);
    startCounting();
    // Zoom on the font-size buttons.
    for (QAction *a : { m_fontDown, m_fontDefault, m_fontUp })
        a->setVisible(true);
    m_pdfControls = new PdfReaderControls(pdf, m_pageLabel, this);
    setUpAnnotations();
    connect(m_pdfControls, &PdfReaderControls::pageTurned, this, [this](int p) {
        m_history.showPage(p);
        startIncreasingStaytime();
        m_annotations->reloadBookMark();
    });
    m_pdfControls->open(last);
    pdf->attachSearch(*m_search);
    m_search->markOnOpen(m_book.searchTerm);
}

void ReaderVC::openEpub(int last)
{
    // A URL with a document path comes from a link between books: the
    // package is read from its root and the document itself is shown.
    const QUrl url = m_book.url;
    QUrl root = url;
    root.setPath(QString());
    const bool documentUrl = url.path().size() > 1;
    // Followed a link: going back returns to the book before. Opened from
    // the shelf, or reopened by going back: no way back yet.
    const bool fromLink = documentUrl && m_from.has_value();
    m_history.opened(last, fromLink, !fromLink && documentUrl);
    auto book = std::make_unique<EPUBManager>(root);
    if (book->spine().isEmpty()) {
        // Back to the shelf rather than an empty reader.
        MsgBox::errorMessage(QStringLiteral("この本を開けません"));
        QMetaObject::invokeMethod(
            this, [this] { m_app.changeToShelf(); }, Qt::QueuedConnection);
        return;
    }
    const QString title
        = QUrl::fromPercentEncoding(book->metadata().value(QStringLiteral("dc:title")).toString().toUtf8());
    m_app.window()->setWindowTitle(QStringLiteral("%1 - %2").arg(QCoreApplication::applicationName(), title));
    auto *epub = new EpubPane(std::move(book), m_history, m_app.bookProfile(), m_app.config(), this);
    placePane(epub);
    connect(epub, &EpubPane::pageShown, this, [this](int index, int count) {
        m_pageLabel->setText(QStringLiteral("%1/%2").arg(index + 1).arg(count));
    });
    connect(epub, &EpubPane::historyChanged, this, &ReaderVC::syncBack);
    connect(epub, &EpubPane::bookLinkRequested, this, &ReaderVC::bookLinkClicked);
    connect(epub, &EpubPane::pageReady, this, &ReaderVC::startIncreasingStaytime);
    // A page that cannot be annotated closes the book.
    connect(epub, &EpubPane::pageScriptsMissing, this, [this] { m_app.changeToShelf(); });
    setUpAnnotations();
    // Each page draws its highlights once its scripts answer.
    connect(epub, &EpubPane::pageScriptsReady, m_annotations, &ReaderAnnotationActions::reloadBmHl);
    connect(epub, &EpubPane::documentChanging, m_annotations, &ReaderAnnotationActions::pageChanged);
    connect(epub, &EpubPane::contextMenuRequested, this, &ReaderVC::showContextMenu);
    // A double-clicked word with an entry opens the dictionary pop-over;
    // without one nothing shows (the click was only a selection).
    connect(epub, &EpubPane::wordDoubleClicked, this,
        [this](const QString &word, const QPoint &at) { m_dict->showFor(word, at); });
    startCounting();
    for (QAction *a : { m_fontDown, m_fontDefault, m_fontUp })
        a->setVisible(true);
    // The size last chosen in any book, else the book's own.
    const QVariant stored = UserDefaults::value(QString::fromLatin1(UserDefaults::bookFontSize));
    epub->setFontSize(stored.isValid() ? stored.toInt() : m_book.fontSize);
    syncSizeButtons();
    m_back->setVisible(true);
    m_verticalAction->setChecked(epub->showsVertical());
    m_verticalAction->setVisible(epub->allowsBothWritingModes());
    syncBack();
    epub->attachSearch(*m_search);
    // Opened from the library search: the term is marked on the page.
    m_search->markOnOpen(m_book.searchTerm);
    setUpProgress(epub);
    // Opened from the shelf, or back from a link: where the reader was in
    // that spine item, first seen there. A link's own target is shown as
    // the link asks.
    if (!fromLink) {
        const std::optional<int> spine = documentUrl ? epub->spineIndexOf(url) : m_history.page();
        if (spine && (!documentUrl || !url.hasFragment())) {
            if (const auto place = ReadingState::storedPlace(m_app.library().books(), m_book.bookID, *spine))
                epub->setPendingPlace(*place);
        }
    }
    epub->open(url);
}

void ReaderVC::setUpProgress(EpubPane *epub)
{
    m_progressBar = new ReaderProgressBar(this);
    layout()->addWidget(m_progressBar);
    const auto show
        = [this, epub] { m_progressBar->setPlace(epub->currentPlace(), epub->currentOutlineTitle()); };
    connect(epub, &EpubPane::placeChanged, m_progressBar, show);
    connect(epub, &EpubPane::historyChanged, m_progressBar, show);
    connect(m_progressBar, &ReaderProgressBar::placeChosen, epub, &EpubPane::showPlace);

    const auto target = BookUrl::parse(epub->book().rootURL());
    QString stamp;
    if (target && target->sample)
        stamp = QStringLiteral("sample:") + target->fileName;
    else if (target)
        stamp = BookProgress::stampOf(QDir(DataFolder::contentsFolder()).filePath(target->fileName));
    const int spineCount = epub->pageCount();
    if (const auto kept
        = ReadingState::storedProgress(m_app.library().books(), m_book.bookID, stamp, spineCount)) {
        m_progressBar->setProgress(*kept);
        return;
    }
    // Every spine item is read once: off the main thread, the result
    // dropped with the screen.
    auto text = std::make_shared<BookSearchText>(epub->book());
    auto *watcher = new QFutureWatcher<BookProgress>(this);
    connect(watcher, &QFutureWatcher<BookProgress>::finished, this, [this, watcher] {
        const BookProgress progress = watcher->result();
        watcher->deleteLater();
        ReadingState::saveProgress(m_app.library().books(), m_book.bookID, progress);
        m_progressBar->setProgress(progress);
    });
    watcher->setFuture(QtConcurrent::run([text, stamp] { return BookProgress::measure(*text, stamp); }));
}

void ReaderVC::bookLinkClicked(const QUrl &url)
{
    QVariantMap query;
    for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        query.insert(key, value);
    const auto target = BookOpening::bookWithIdentifier(
        m_app.library().books(), query.value(QStringLiteral("paramBookId")).toString());
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
    const auto target = BookOpening::bookWithIdentifier(
        m_app.library().books(), query.value(QStringLiteral("paramBookId")).toString());
    const EPUBManager *package = m_pane ? m_pane->package() : nullptr;
    if (!target || !target->BookID || !target->fileName || !package) {
        m_app.changeToShelf();
        return;
    }
    // The linked document: the manifest item of the target book, else (as
    // older links expect) the item of that id in this book.
    const QString manifestID = query.value(QStringLiteral("paramManifestId")).toString();
    const EPUBManager targetBook(BookUrl::rootUrl(*target->fileName));
    QString href = targetBook.manifest().value(manifestID).toMap().value(QStringLiteral("href")).toString();
    if (href.isEmpty())
        href = package->manifest().value(manifestID).toMap().value(QStringLiteral("href")).toString();
    const QUrl targetUrl = href.isEmpty() ? targetBook.urlForContent(
                               targetBook.spine().value(0).toMap().value(QStringLiteral("href")).toString())
                                          : targetBook.urlForContent(href);
    saveStatus();
    BookOpening::markOpened(m_app.library(), *target->fileName, &m_app.shareHelper());
    BookInfo targetInfo = BookOpening::infoForBook(m_app.library().books(), *target->fileName);
    targetInfo.url = targetUrl;
    targetInfo.lastPage = -1;
    LinkOrigin from { m_book, m_pane->currentManifestID() };
    from.book.url = package->rootURL();
    from.book.fontSize = fontSize();
    from.book.lastPage = -1;
    // The term of a library search belongs to the book it was found in.
    from.book.searchTerm.clear();
    m_app.changeToReader(targetInfo, from);
}

void ReaderVC::tapBackBtn()
{
    const NavigationHistory::Back back = m_history.back();
    syncBack();
    switch (back.kind) {
    case NavigationHistory::Back::None:
        return;
    case NavigationHistory::Back::OtherBook: {
        if (!m_from)
            return;
        QPointer<ReaderVC> self(this);
        MsgBox::ask(QStringLiteral("元の書籍<<%1>>コンテンツを戻ります").arg(m_from->book.title),
            QStringLiteral("戻りますか？"), [self](bool ok) {
                if (!self)
                    return;
                if (!ok) {
                    self->m_history.backDeclined();
                    self->syncBack();
                    return;
                }
                // The document the link was followed from.
                BookInfo back = self->m_from->book;
                const EPUBManager previous(back.url);
                const QString href = previous.manifest()
                                         .value(self->m_from->manifestID)
                                         .toMap()
                                         .value(QStringLiteral("href"))
                                         .toString();
                if (!href.isEmpty())
                    back.url = previous.urlForContent(href);
                self->saveStatus();
                self->m_app.changeToReader(back);
            });
        return;
    }
    case NavigationHistory::Back::ShowPage:
    case NavigationHistory::Back::ShowPageScroll:
        // The scroll position, if any, follows once the page is in.
        if (m_pane)
            m_pane->returnToPage(back.page);
        return;
    case NavigationHistory::Back::Scroll:
        // An in-page jump: only the scroll position goes back.
        if (m_pane)
            m_pane->scrollTo(back.offset);
        return;
    }
}

void ReaderVC::syncBack()
{
    m_back->setEnabled(m_history.backEnabled());
}

void ReaderVC::tapDir(int segment)
{
    if (m_pane)
        m_pane->turn(segment == 0 ? -1 : 1);
}

void ReaderVC::arrowKey(bool left)
{
    EpubPane *epub = epubPane();
    switch (PageTurn::arrow(left, epub && epub->showsVertical(), epub && epub->pagesRightToLeft())) {
    case PageTurn::Arrow::ScreenForward:
    case PageTurn::Arrow::ScreenBack:
        epub->pageScreen(left);
        return;
    case PageTurn::Arrow::ItemBack:
        tapDir(0);
        return;
    case PageTurn::Arrow::ItemForward:
        tapDir(1);
        return;
    }
}

void ReaderVC::goToPage(int page)
{
    if (m_pane)
        m_pane->goToPage(page);
}

int ReaderVC::fontSize() const
{
    const auto size = m_pane ? m_pane->textSize() : std::nullopt;
    return size.value_or(BookInfo::kDefaultFontSize);
}

void ReaderVC::syncSizeButtons()
{
    m_fontDown->setEnabled(m_pane && m_pane->canShrink());
    m_fontUp->setEnabled(m_pane && m_pane->canEnlarge());
}

void ReaderVC::fontSizeDown()
{
    if (!m_pane)
        return;
    m_pane->shrink();
    syncSizeButtons();
}

void ReaderVC::fontSizeUp()
{
    if (!m_pane)
        return;
    m_pane->enlarge();
    syncSizeButtons();
}

void ReaderVC::fontSizeDefault()
{
    if (!m_pane)
        return;
    m_pane->resetSize();
    syncSizeButtons();
}

void ReaderVC::saveStatus()
{
    if (!m_loaded)
        return;
    const EpubPane *epub = epubPane();
    ReadingState::save(m_app.library().books(), m_book.bookID, m_history.page(),
        m_pane ? m_pane->textSize() : std::nullopt,
        epub ? std::optional<ReadingPlace>(epub->currentPlace()) : std::nullopt);
}

void ReaderVC::tapPrint()
{
    if (!m_book.print || m_printer)
        return;
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(m_printer.get(), this);
    if (m_book.isPdf()) // the page on screen is what a PDF prints
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
    if (!m_pane) {
        done(false);
        return;
    }
    m_pane->printTo(printer, std::move(done));
}

void ReaderVC::setUpAnnotations()
{
    ReaderAnnotationActions::Hooks hooks;
    hooks.page = [this] {
        AnnotationPage page;
        page.bookID = m_book.bookID;
        page.pageIdx = std::max(0, this->page());
        if (const EPUBManager *package = m_pane ? m_pane->package() : nullptr) {
            page.metaBookID = package->metadata().value(QStringLiteral("dc:identifier")).toString();
            // The outline entry at the page's position names a highlight's
            // chapter.
            const QVariantList toc = package->toc().value_or(QVariantList());
            if (page.pageIdx < toc.size()) {
                const QVariantMap entry = toc.at(page.pageIdx).toMap();
                page.tocId = entry.value(QStringLiteral("id")).toString();
                page.contentTitle = entry.value(QStringLiteral("text")).toString();
            }
        } else {
            page.metaBookID = m_book.metaBookId;
        }
        return page;
    };
    hooks.web = [this]() -> QWebEnginePage * { return m_pane ? m_pane->webPage() : nullptr; };
    hooks.bookmarkManifestId
        = [this]() -> std::optional<QString> { return m_pane ? m_pane->bookmarkId(page()) : std::nullopt; };
    hooks.showPage = [this](int pageIdx) { goToPage(pageIdx); };
    hooks.bookTitle = [this] { return m_book.title; };
    m_annotations = new ReaderAnnotationActions(m_app.library().annotations(), this, std::move(hooks));
    m_annotations->addTo(m_toolbar, !m_book.isPdf());
    m_annotations->reloadBookMark();
}

void ReaderVC::showContextMenu(const QPoint &pos)
{
    if (!m_pane || !m_annotations)
        return;
    QWidget *view = m_pane->pageView();
    // The highlight under the pointer decides the annotation items; the
    // page measures in CSS pixels.
    const auto *web = qobject_cast<QWebEngineView *>(view);
    const qreal zoom = web && web->zoomFactor() > 0 ? web->zoomFactor() : 1.0;
    const QPoint css(int(pos.x() / zoom), int(pos.y() / zoom));
    QPointer<ReaderVC> self(this);
    m_annotations->highlightAt(css, [self, pos](const AnnotationTarget &target) {
        if (!self || !self->m_pane)
            return;
        QWidget *view = self->m_pane->pageView();
        QMenu menu(self);
        self->addSelectionItems(&menu, view->mapToGlobal(pos));
        self->m_annotations->addContextItems(&menu, !self->m_pane->selectedText().isEmpty(), target);
        if (!menu.isEmpty())
            menu.exec(view->mapToGlobal(pos));
    });
}

void ReaderVC::addSelectionItems(QMenu *menu, const QPoint &globalPos)
{
    const QString selection = m_pane ? m_pane->selectedText() : QString();
    if (selection.isEmpty())
        return;
    m_pane->fillContextMenu(menu);
    m_dict->addTo(menu, selection, globalPos);
    menu->addSeparator();
}

void ReaderVC::lookUpSelection()
{
    QWidget *view = m_pane ? m_pane->pageView() : nullptr;
    if (!view)
        return;
    const QString selection = m_pane->selectedText();
    // Beside the pointer when it is over the page, else the page's middle.
    const QPoint cursor = view->mapFromGlobal(QCursor::pos());
    const QPoint at = view->mapToGlobal(view->rect().contains(cursor) ? cursor : view->rect().center());
    if (selection.trimmed().isEmpty()) {
        QToolTip::showText(at, QStringLiteral("辞書で引く語を選んでください"), view);
        return;
    }
    if (!m_dict->showFor(selection, at))
        QToolTip::showText(at, QStringLiteral("辞書に見つかりませんでした"), view);
}

void ReaderVC::chooseReadingTheme(const QString &key)
{
    const QString defaultsKey = QString::fromLatin1(ReadingTheme::kDefaultsKey);
    if (ReadingTheme::fromKey(key))
        UserDefaults::setValue(defaultsKey, key);
    else
        UserDefaults::remove(defaultsKey);
    applyReadingTheme();
}

void ReaderVC::applyReadingTheme()
{
    // Not for a palette change while the screen is being made, nor for the
    // one this itself sets on the screen.
    if (!m_themePalette || m_applyingTheme)
        return;
    const QScopedValueRollback applying(m_applyingTheme, true);
    const auto stored = UserDefaults::stringForKey(QString::fromLatin1(ReadingTheme::kDefaultsKey));
    // The desktop's own colours decide, not the theme's palette laid over
    // this screen.
    m_theme = ReadingTheme::chosen(stored, QApplication::palette().color(QPalette::Window).lightness());
    if (m_pane)
        m_pane->setReadingTheme(m_theme);
    m_themePalette->apply(ReadingTheme::palette(m_theme));
    // The choices show the choice, which may be to follow the desktop.
    const QString chosen = stored && ReadingTheme::fromKey(*stored) ? *stored : QString();
    for (QAction *item : m_themes->actions())
        item->setChecked(item->data().toString() == chosen);
}

void ReaderVC::tapDisplay()
{
    m_display->setTypography(m_typography);
    // Typography is for text pages; a PDF has the theme and the zoom.
    m_display->setTypographyEnabled(epubPane() != nullptr);
    m_display->popup(m_toolbar->widgetForAction(m_themeAction));
}

void ReaderVC::chooseTypography(const Typography &typography)
{
    m_typography = typography;
    UserDefaults::setValue(QString::fromLatin1(Typography::kDefaultsKey), typography.toStored());
    if (m_pane)
        m_pane->setTypography(typography);
}

void ReaderVC::changeEvent(QEvent *event)
{
    // The desktop switched between light and dark.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        applyReadingTheme();
    ScreenVC::changeEvent(event);
}
