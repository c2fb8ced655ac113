#include "ReaderVC.h"

#include "EpubPane.h"
#include "PdfPane.h"
#include "PdfReaderControls.h"
#include "QLBPDFReaderView.h"
#include "ReaderAnnotationActions.h"
#include "ReaderDictMenu.h"
#include "ReaderSearch.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/library/Library.h"
#include "core/platform/UserDefaults.h"
#include "core/reader/BookInfo.h"
#include "core/reader/BookOpening.h"
#include "core/reader/ReadingState.h"
#include "core/reader/StayTimeCounter.h"
#include "core/sync/QMShareHelper.h"
#include "ui/app/MainWindow.h"
#include "ui/app/MsgBox.h"
#include "ui/app/Navigation.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>
#include <QToolButton>
#include <QToolTip>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <utility>

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
        if (m_pdfPane)
            m_pdfPane->showDirectionPopover(m_toolbar->widgetForAction(m_direction));
    });
    m_direction->setObjectName(QStringLiteral("directionAction"));
    m_direction->setVisible(false);
    m_themeAction = m_toolbar->addAction(QStringLiteral("表示"));
    m_themeAction->setObjectName(QStringLiteral("themeAction"));
    m_themeAction->setToolTip(QStringLiteral("表示テーマ (昼・セピア・夜)"));
    auto *themeMenu = new QMenu(this);
    themeMenu->setObjectName(QStringLiteral("themeMenu"));
    auto *themes = new QActionGroup(themeMenu);
    const auto addTheme = [&](const QString &title, const QString &key) {
        QAction *item = themeMenu->addAction(title);
        item->setCheckable(true);
        item->setData(key);
        themes->addAction(item);
        connect(item, &QAction::triggered, this, [this, key] { chooseReadingTheme(key); });
    };
    addTheme(QStringLiteral("デスクトップに合わせる"), QString());
    for (const auto kind : { ReadingTheme::Day, ReadingTheme::Sepia, ReadingTheme::Night })
        addTheme(ReadingTheme::title(kind), ReadingTheme::key(kind));
    m_themeAction->setMenu(themeMenu);
    if (auto *button = qobject_cast<QToolButton *>(m_toolbar->widgetForAction(m_themeAction)))
        button->setPopupMode(QToolButton::InstantPopup);
    auto *nextTheme = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T), this);
    connect(nextTheme, &QShortcut::activated, this,
        [this] { chooseReadingTheme(ReadingTheme::key(ReadingTheme::next(m_theme))); });
    for (QAction *a : { m_fontDown, m_fontDefault, m_fontUp })
        a->setVisible(false);
    auto *back = new QShortcut(QKeySequence(Qt::Key_Left), this);
    connect(back, &QShortcut::activated, this, [this] { tapDir(0); });
    auto *forward = new QShortcut(QKeySequence(Qt::Key_Right), this);
    connect(forward, &QShortcut::activated, this, [this] { tapDir(1); });
    m_dict = new ReaderDictMenu(app.dictionaryManager(), this);
    auto *lookUp = new QShortcut(ReaderDictMenu::shortcut(), this);
    connect(lookUp, &QShortcut::activated, this, &ReaderVC::lookUpSelection);
    new QVBoxLayout(this);
    layout()->setContentsMargins(0, 0, 0, 0);
}

ReaderVC::~ReaderVC()
{
    m_stay.reset();
    if (m_epubPane)
        m_epubPane->saveSplit();
    saveStatus();
    if (m_pdfControls)
        m_pdfControls->save();
    if (m_pdfPane)
        m_pdfPane->saveSplit();
    const bool pdf = m_pdfPane != nullptr;
    // The panes go while the history they follow is still here.
    m_pane = nullptr;
    delete std::exchange(m_epubPane, nullptr);
    delete std::exchange(m_pdfPane, nullptr);
    QMShareHelper::syscAccessLog();
    // Leaving uploads the bookmarks of a store book.
    if (ReadingState::uploadsOnLeave(m_app.library().books(), BookInfo::fromMap(info), m_loaded))
        m_app.shareHelper().syscBookMark(pdf);
}

void ReaderVC::startCounting()
{
    StayTimePage book;
    if (m_pdfPane) {
        book.bookId = info.value(QStringLiteral("metaBookId")).toString();
        book.bookAuthor = info.value(QStringLiteral("creator")).toString();
        book.bookTitle = info.value(QStringLiteral("Title")).toString();
    } else if (m_epubPane) {
        const QVariantMap metadata = m_epubPane->book().metadata();
        book.bookId = metadata.value(QStringLiteral("dc:identifier")).toString();
        book.bookAuthor = metadata.value(QStringLiteral("dc:creator")).toString();
        book.bookTitle = metadata.value(QStringLiteral("dc:title")).toString();
    }
    m_stay = std::make_unique<StayTimeCounter>(
        TimerSource::system(), m_app.library().readingLogs(), [this, book] {
            StayTimePage page = book;
            page.pageIndex = m_history.page();
            if (m_pdfPane)
                return StayTimePage::pdfPage(book.bookId, book.bookAuthor, book.bookTitle, m_history.page());
            if (m_epubPane) {
                page.manifestID = m_epubPane->currentManifestID();
                page.naviTitle = m_epubPane->currentOutlineTitle();
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
    m_app.window()->setWindowTitle(QStringLiteral("%1 - %2").arg(
        QCoreApplication::applicationName(), info.value(QStringLiteral("Title")).toString()));
    if (m_loaded)
        return;
    m_loaded = true;
    // Printing only for books the publisher allows it for.
    m_print->setVisible(info.value(QStringLiteral("print")).toBool());
    const int last = info.value(QStringLiteral("lastPage"), -1).toInt();
    if (info.contains(QStringLiteral("pdfurl")))
        openPdf(last);
    else
        openEpub(last);
}

void ReaderVC::openPdf(int last)
{
    m_app.window()->setWindowTitle(QStringLiteral("%1 - %2").arg(QCoreApplication::applicationName(),
        QUrl::fromPercentEncoding(info.value(QStringLiteral("Title")).toString().toUtf8())));
    m_pdfPane = new PdfPane(info.value(QStringLiteral("pdfurl")).toString(), m_app.config(),
        info.value(QStringLiteral("metaBookId")).toString(), this);
    m_pane = m_pdfPane;
    m_pdfPane->resize(size());
    layout()->addWidget(m_pdfPane);
    startCounting();
    // Zoom on the font-size buttons; the direction button in place of
    // going back.
    for (QAction *a : { m_fontDown, m_fontDefault, m_fontUp, m_direction })
        a->setVisible(true);
    m_pdfControls = new PdfReaderControls(m_pdfPane, m_pageLabel, this);
    applyReadingTheme();
    setUpAnnotations(false);
    connect(m_pdfControls, &PdfReaderControls::pageTurned, this, [this](int p) {
        m_history.showPage(p);
        startIncreasingStaytime();
        m_annotations->reloadBookMark();
    });
    m_pdfControls->open(last);
    m_search->attach(m_pdfPane, info.value(QStringLiteral("pdfurl")).toString());
    m_search->markOnOpen(info.value(QStringLiteral("searchTerm")).toString());
}

void ReaderVC::openEpub(int last)
{
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
    m_epubPane = new EpubPane(std::move(book), m_history, m_app.bookProfile(), m_app.config(), this);
    m_pane = m_epubPane;
    // The pane lays itself out (splash, outline width) at the reader's size.
    m_epubPane->resize(size());
    layout()->addWidget(m_epubPane);
    applyReadingTheme();
    connect(m_epubPane, &EpubPane::pageShown, this, [this](int index, int count) {
        m_pageLabel->setText(QStringLiteral("%1/%2").arg(index + 1).arg(count));
    });
    connect(m_epubPane, &EpubPane::historyChanged, this, &ReaderVC::syncBack);
    connect(m_epubPane, &EpubPane::bookLinkRequested, this, &ReaderVC::bookLinkClicked);
    connect(m_epubPane, &EpubPane::pageReady, this, &ReaderVC::startIncreasingStaytime);
    // A page that cannot be annotated closes the book.
    connect(m_epubPane, &EpubPane::pageScriptsMissing, this, [this] { m_app.changeToShelf(); });
    setUpAnnotations(true);
    // Each page draws its highlights once its scripts answer.
    connect(m_epubPane, &EpubPane::pageScriptsReady, m_annotations, &ReaderAnnotationActions::reloadBmHl);
    connect(m_epubPane, &EpubPane::documentChanging, m_annotations, &ReaderAnnotationActions::pageChanged);
    connect(m_epubPane, &EpubPane::contextMenuRequested, this, &ReaderVC::showContextMenu);
    // A double-clicked word with an entry opens the dictionary pop-over;
    // without one nothing shows (the click was only a selection).
    connect(m_epubPane, &EpubPane::wordDoubleClicked, this,
        [this](const QString &word, const QPoint &at) { m_dict->showFor(word, at); });
    startCounting();
    for (QAction *a : { m_fontDown, m_fontDefault, m_fontUp })
        a->setVisible(true);
    // The size last chosen in any book, else the book's own.
    const QVariant stored = UserDefaults::value(QString::fromLatin1(UserDefaults::bookFontSize));
    setFontSize(stored.isValid()
            ? stored.toInt()
            : info.value(QStringLiteral("fontSize"), EpubPane::kDefaultFontSize).toInt());
    m_back->setVisible(true);
    syncBack();
    m_search->attach(m_epubPane);
    // Opened from the library search: the term is marked on the page.
    m_search->markOnOpen(info.value(QStringLiteral("searchTerm")).toString());
    m_epubPane->open(url);
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
    if (!target || !target->BookID || !target->fileName || !m_epubPane) {
        m_app.changeToShelf();
        return;
    }
    // The linked document: the manifest item of the target book, else (as
    // older links expect) the item of that id in this book.
    const QString manifestID = query.value(QStringLiteral("paramManifestId")).toString();
    const EPUBManager targetBook(BookUrl::rootUrl(*target->fileName));
    QString href = targetBook.manifest().value(manifestID).toMap().value(QStringLiteral("href")).toString();
    if (href.isEmpty())
        href = m_epubPane->book()
                   .manifest()
                   .value(manifestID)
                   .toMap()
                   .value(QStringLiteral("href"))
                   .toString();
    const QUrl targetUrl = href.isEmpty() ? targetBook.urlForContent(
                               targetBook.spine().value(0).toMap().value(QStringLiteral("href")).toString())
                                          : targetBook.urlForContent(href);
    saveStatus();
    BookOpening::markOpened(m_app.library(), *target->fileName, &m_app.shareHelper());
    BookInfo targetInfo = BookOpening::infoForBook(m_app.library().books(), *target->fileName);
    targetInfo.url = targetUrl;
    targetInfo.lastPage = -1;
    BookInfo previous = BookInfo::fromMap(info);
    previous.url = m_epubPane->book().rootURL();
    previous.fontSize = fontSize();
    previous.lastPage = -1;
    m_app.changeToReader(targetInfo.toMap(), previous.toMap(), m_epubPane->currentManifestID());
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
        if (m_pdfPane)
            goToPage(back.page);
        else if (m_epubPane)
            m_epubPane->showHistoryPage();
        return;
    case NavigationHistory::Back::Scroll:
        // An in-page jump: only the scroll position goes back.
        if (m_epubPane)
            m_epubPane->scrollTo(back.offset);
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

void ReaderVC::goToPage(int page)
{
    if (m_pane)
        m_pane->goToPage(page);
}

int ReaderVC::fontSize() const
{
    return m_epubPane ? m_epubPane->fontSize() : EpubPane::kDefaultFontSize;
}

void ReaderVC::setFontSize(int size)
{
    if (!m_epubPane)
        return;
    m_epubPane->setFontSize(size);
    m_fontDown->setEnabled(fontSize() > EpubPane::kMinFontSize);
    m_fontUp->setEnabled(fontSize() < EpubPane::kMaxFontSize);
}

void ReaderVC::fontSizeDown()
{
    if (m_pdfPane)
        m_pdfPane->zoomOut();
    else
        setFontSize(fontSize() - 1);
}

void ReaderVC::fontSizeUp()
{
    if (m_pdfPane)
        m_pdfPane->zoomIn();
    else
        setFontSize(fontSize() + 1);
}

void ReaderVC::fontSizeDefault()
{
    if (m_pdfPane)
        m_pdfPane->zoomDefault();
    else
        setFontSize(EpubPane::kDefaultFontSize);
}

void ReaderVC::saveStatus()
{
    if (!m_loaded)
        return;
    ReadingState::save(m_app.library().books(), info.value(QStringLiteral("BookID"), -1).toLongLong(),
        m_history.page(), m_epubPane ? std::optional<int>(fontSize()) : std::nullopt);
}

void ReaderVC::tapPrint()
{
    if (!info.value(QStringLiteral("print")).toBool() || m_printer)
        return;
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(m_printer.get(), this);
    if (m_pdfPane) // the page on screen is what a PDF prints
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

void ReaderVC::setUpAnnotations(bool epub)
{
    ReaderAnnotationActions::Hooks hooks;
    hooks.page = [this] {
        AnnotationPage page;
        page.bookID = info.value(QStringLiteral("BookID"), -1).toLongLong();
        page.pageIdx = std::max(0, this->page());
        if (m_epubPane) {
            page.metaBookID = m_epubPane->book().metadata().value(QStringLiteral("dc:identifier")).toString();
            // The outline entry at the page's position names a highlight's
            // chapter.
            const QVariantList toc = m_epubPane->book().toc().value_or(QVariantList());
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
    hooks.web = [this]() -> QWebEnginePage * { return m_epubPane ? m_epubPane->web()->page() : nullptr; };
    hooks.bookmarkManifestId = [this]() -> std::optional<QString> {
        if (m_pdfPane)
            return QString::number(std::max(0, page()));
        if (m_epubPane && page() >= 0 && page() < m_epubPane->pageCount())
            return m_epubPane->book().spine().at(page()).toMap().value(QStringLiteral("id")).toString();
        return std::nullopt;
    };
    hooks.showPage = [this](int pageIdx) { goToPage(pageIdx); };
    hooks.bookTitle = [this] { return info.value(QStringLiteral("Title")).toString(); };
    m_annotations = new ReaderAnnotationActions(m_app.library().annotations(), this, std::move(hooks));
    m_annotations->addTo(m_toolbar, epub);
    m_annotations->reloadBookMark();
}

void ReaderVC::showContextMenu(const QPoint &pos)
{
    if (!m_epubPane || !m_annotations)
        return;
    QWebEngineView *view = m_epubPane->web();
    // The highlight under the pointer decides the annotation items; the
    // page measures in CSS pixels.
    const qreal zoom = view->zoomFactor() > 0 ? view->zoomFactor() : 1.0;
    const QPoint css(int(pos.x() / zoom), int(pos.y() / zoom));
    QPointer<ReaderVC> self(this);
    m_annotations->highlightAt(css, [self, pos](const AnnotationTarget &target) {
        if (!self || !self->m_epubPane)
            return;
        QWebEngineView *view = self->m_epubPane->web();
        QMenu menu(self);
        self->addSelectionItems(&menu, view->mapToGlobal(pos));
        self->m_annotations->addContextItems(&menu, view->hasSelection(), target);
        if (!menu.isEmpty())
            menu.exec(view->mapToGlobal(pos));
    });
}

void ReaderVC::addSelectionItems(QMenu *menu, const QPoint &globalPos)
{
    if (!m_epubPane || !m_epubPane->web()->hasSelection())
        return;
    m_epubPane->fillContextMenu(menu);
    m_dict->addTo(menu, m_epubPane->web()->selectedText(), globalPos);
    menu->addSeparator();
}

void ReaderVC::lookUpSelection()
{
    QWidget *view = nullptr;
    QString selection;
    if (m_epubPane) {
        view = m_epubPane->web();
        selection = m_epubPane->web()->selectedText();
    } else if (m_pdfPane) {
        view = m_pdfPane->view();
        selection = m_pdfPane->view()->selectedText();
    }
    if (!view)
        return;
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
    if (!m_themeAction)
        return; // a palette change while the screen is being made
    const auto stored = UserDefaults::stringForKey(QString::fromLatin1(ReadingTheme::kDefaultsKey));
    m_theme = ReadingTheme::chosen(stored, palette().color(QPalette::Window).lightness());
    if (m_epubPane)
        m_epubPane->setReadingTheme(m_theme);
    if (m_pdfPane)
        m_pdfPane->view()->setReadingTheme(m_theme);
    // The menu shows the choice, which may be to follow the desktop.
    const QString chosen = stored && ReadingTheme::fromKey(*stored) ? *stored : QString();
    for (QAction *item : m_themeAction->menu()->actions())
        item->setChecked(item->data().toString() == chosen);
}

void ReaderVC::changeEvent(QEvent *event)
{
    // The desktop switched between light and dark.
    if (event->type() == QEvent::PaletteChange)
        applyReadingTheme();
    ScreenVC::changeEvent(event);
}
