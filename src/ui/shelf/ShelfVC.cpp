#include "ShelfVC.h"

#include "QLBShelfManagerView.h"
#include "QLBTableCellView.h"
#include "ShelfCell.h"
#include "core/account/AccountSession.h"
#include "core/app/Analytics.h"
#include "core/app/EmptyStates.h"
#include "core/platform/DataFolder.h"
#include "core/reader/BookInfo.h"
#include "core/store/StoreManager.h"
#include "core/store/VamoManager.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/ContextGuard.h"
#include "core/util/NotificationCenter.h"
#include "ui/app/MainWindow.h"
#include "ui/app/MsgBox.h"
#include "ui/app/Navigation.h"
#include "ui/dictionary/DictionaryWindow.h"
#include "ui/store/DownloadSheet.h"

#include <QActionGroup>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QNetworkRequest>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QToolButton>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentRun>

ShelfVC::ShelfVC(Navigation &app)
    : ScreenVC(app)
{
    setObjectName(QStringLiteral("ShelfVC"));
    m_toolbar = new QToolBar(QStringLiteral("Shelf"), this);
    m_toolbar->setObjectName(QStringLiteral("shelfToolbar"));
    m_toolbar->addAction(QStringLiteral("TOP"), this, [this] { m_app.changeToTop(); });
    // As on the top screen: a fresh store token before the store opens.
    m_toolbar->addAction(QStringLiteral("ストア"), this,
        [this] { m_app.account().enterStore(guardedBy(this, [this] { m_app.changeToStore(); })); });
    m_toolbar->addAction(QStringLiteral("購入済み"), this,
        [this] { m_app.account().enterStore(guardedBy(this, [this] { m_app.changeToAcquired(); })); });

    auto *shelfMenu = new QMenu(this);
    shelfMenu->addAction(QStringLiteral("新規"), this, &ShelfVC::askNewShelf)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    shelfMenu->addAction(QStringLiteral("名前を変更"), this, &ShelfVC::askRenameShelf);
    shelfMenu->addAction(QStringLiteral("削除"), this, [this] { deleteShelf(m_pageID - 1); });
    auto *shelfButton = new QToolButton(m_toolbar);
    shelfButton->setText(QStringLiteral("本棚"));
    shelfButton->setMenu(shelfMenu);
    shelfButton->setPopupMode(QToolButton::InstantPopup);
    m_toolbar->addWidget(shelfButton);

    m_sortBox = new QComboBox(m_toolbar);
    m_sortBox->setObjectName(QStringLiteral("sortBox"));
    m_sortBox->addItems(ShelfModel::sortList());
    m_sortBox->setToolTip(QStringLiteral("並べ替え"));
    m_toolbar->addWidget(m_sortBox);
    connect(m_sortBox, &QComboBox::activated, this,
        [this](int row) { chooseSort(ShelfModel::sortList().at(row)); });

    m_search = new QLineEdit(m_toolbar);
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setPlaceholderText(QStringLiteral("検索"));
    m_search->setClearButtonEnabled(true);
    m_search->setMaximumWidth(220);
    m_toolbar->addWidget(m_search);
    // Always in the toolbar, empty while no scan runs: a toolbar may show
    // again the widget of an action it was told to hide.
    m_searchBusy = new QLabel(m_toolbar);
    m_searchBusy->setObjectName(QStringLiteral("searchBusy"));
    m_searchBusyAction = m_toolbar->addWidget(m_searchBusy);
    connect(m_search, &QLineEdit::returnPressed, this, [this] { searchBook(m_search->text()); });
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.isEmpty())
            searchBook(text);
    });

    m_toolbar->addAction(QStringLiteral("PDFを取り込む"), this, &ShelfVC::askImportPdf)
        ->setShortcut(QKeySequence::Open);
    QAction *textSearch
        = m_toolbar->addAction(QStringLiteral("本文検索"), this, [this] { openLibrarySearch(); });
    textSearch->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));

    // Which installed dictionaries take part in look-ups, read afresh each
    // time the menu opens.
    auto *dictMenu = new QMenu(this);
    dictMenu->setObjectName(QStringLiteral("dictionaryMenu"));
    connect(dictMenu, &QMenu::aboutToShow, this, [this, dictMenu] {
        dictMenu->clear();
        // The key itself belongs to the main window (AppShortcuts); the menu
        // only shows it.
        QAction *window = dictMenu->addAction(QStringLiteral("辞書ウィンドウを開く\t")
                + DictionaryWindow::shortcut().toString(QKeySequence::NativeText),
            this, [this] { DictionaryWindow::open(this, m_app.dictionaryManager()); });
        window->setObjectName(QStringLiteral("openDictionaryWindow"));
        dictMenu->addSeparator();
        const QList<DictionaryMaster> dicts = shelfModel().dictionaries();
        if (dicts.isEmpty())
            dictMenu->addAction(QStringLiteral("辞書がありません"))->setEnabled(false);
        for (const DictionaryMaster &d : dicts) {
            QAction *a = dictMenu->addAction(d.dicName.value_or(QString()));
            a->setCheckable(true);
            a->setChecked(d.useFlg.value_or(0) != 0);
            const qint64 id = d.dicId.value_or(-1);
            connect(a, &QAction::toggled, dictMenu, [this, id](bool on) { setDictionaryUsed(id, on); });
        }
        dictMenu->addSeparator();
        QAction *add
            = dictMenu->addAction(QStringLiteral("辞書ファイルを追加…"), this, &ShelfVC::askAddDictionary);
        add->setObjectName(QStringLiteral("addDictionaryFile"));
    });
    auto *dictButton = new QToolButton(m_toolbar);
    dictButton->setText(QStringLiteral("辞書"));
    dictButton->setMenu(dictMenu);
    dictButton->setPopupMode(QToolButton::InstantPopup);
    m_toolbar->addWidget(dictButton);

    auto *modes = new QActionGroup(this);
    QAction *grid = m_toolbar->addAction(QStringLiteral("グリッド"), this, [this] { setGridMode(true); });
    QAction *list = m_toolbar->addAction(QStringLiteral("リスト"), this, [this] { setGridMode(false); });
    grid->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    list->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    for (QAction *a : { grid, list }) {
        a->setCheckable(true);
        modes->addAction(a);
    }
    grid->setChecked(true);
    m_gridAction = grid;
    m_listAction = list;

    m_books = new ShelfBookListModel(this);
    m_list = new ShelfBookView(this);
    m_list->setModel(m_books);
    m_list->setObjectName(QStringLiteral("bookList"));
    m_empty = new EmptyStateOverlay(m_list);
    m_gridCells = new ShelfCell(m_list);
    m_listRows = new QLBTableCellView(m_list);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_coverTimer.setInterval(0);
    m_coverTimer.setSingleShot(true);
    connect(&m_coverTimer, &QTimer::timeout, this, &ShelfVC::loadSomeCovers);
    connect(
        m_list->verticalScrollBar(), &QScrollBar::valueChanged, &m_coverTimer, qOverload<>(&QTimer::start));

    // The shelves beside the books: choose one, drag to reorder, rename in
    // place (F2 or the row's menu), delete.
    m_shelfTable = new ShelfTableView(this);
    m_shelfTable->setObjectName(QStringLiteral("shelfTable"));
    m_shelfTable->setEditTriggers(QAbstractItemView::EditKeyPressed);
    auto *rows = new QLBShelfManagerView(m_shelfTable);
    m_shelfTable->setItemDelegate(rows);
    // A click (on release) or the keys choose a shelf; a press alone does
    // not, so that any row can be dragged. Queued: showing a shelf refills
    // the table that is reporting the change.
    auto choose = [this](int row) {
        if (row >= 0 && row + 1 != m_pageID)
            showShelf(row + 1);
    };
    connect(m_shelfTable, &ShelfTableView::rowChosen, this, choose, Qt::QueuedConnection);
    connect(
        m_shelfTable, &QListWidget::currentRowChanged, this,
        [this, choose](int row) {
            if (!m_shelfTable->mouseHeld())
                choose(row); // set by a program, not by a press
        },
        Qt::QueuedConnection);
    // A drag that ended without a drop leaves the shown shelf marked.
    connect(m_shelfTable, &ShelfTableView::dragEnded, this, [this] {
        const QSignalBlocker block(m_shelfTable);
        m_shelfTable->setCurrentRow(m_pageID - 1);
    });
    connect(m_shelfTable, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        const int row = m_shelfTable->row(item);
        const QList<LabelMaster> shelves = shelfModel().labels();
        if (row > 0 && row < shelves.size() && item->text() != shelves.at(row).labelName.value_or(QString())
            && !renameShelf(row, item->text()))
            fillShelfBox(); // an empty name keeps the old one
    });
    connect(m_shelfTable, &ShelfTableView::rowDropped, this, &ShelfVC::dropShelf);
    connect(rows, &QLBShelfManagerView::labelTapEdit, this, [this](int row) {
        QTimer::singleShot(0, this, [this, row] {
            if (QListWidgetItem *item = m_shelfTable->item(row))
                m_shelfTable->editItem(item);
        });
    });
    connect(rows, &QLBShelfManagerView::labelTapDelete, this, [this](int row) { deleteShelf(row); });
    auto *delShelf = new QShortcut(QKeySequence::Delete, m_shelfTable, nullptr, nullptr, Qt::WidgetShortcut);
    connect(delShelf, &QShortcut::activated, this, [this] { deleteShelf(m_shelfTable->currentRow()); });
    auto *nextShelf = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), this);
    connect(nextShelf, &QShortcut::activated, this, [this] { swipeEnded(0.75 * m_list->width()); });
    auto *find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, [this] { m_search->setFocus(Qt::ShortcutFocusReason); });
    auto *previousShelf = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), this);
    connect(previousShelf, &QShortcut::activated, this, [this] { swipeEnded(-0.75 * m_list->width()); });

    // Swipes sideways over the books move between shelves.
    m_list->viewport()->installEventFilter(this);
    m_swipeEnd.setSingleShot(true);
    m_swipeEnd.setInterval(250);
    connect(&m_swipeEnd, &QTimer::timeout, this, [this] {
        const double offset = m_swipe;
        m_swipe = 0;
        swipeEnded(offset);
    });

    auto *split = new QSplitter(this);
    split->addWidget(m_shelfTable);
    split->addWidget(m_list);
    split->setStretchFactor(1, 1);
    split->setSizes({ 160, 800 });
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
    connect(m_list, &ChoiceListView::rowChosen, this, &ShelfVC::openBook);
    connect(m_list, &QWidget::customContextMenuRequested, this, &ShelfVC::showBookMenu);
    auto *del = new QShortcut(QKeySequence::Delete, m_list, nullptr, nullptr, Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, [this] {
        const QModelIndex current = m_list->currentIndex();
        if (current.isValid())
            askDeleteBook(current.data(ShelfBookListModel::FileNameRole).toString());
    });
    NotificationCenter::defaultCenter().observe(
        QStringLiteral("reloadshelf"), this, [this](const QVariant &) { reload(); });
    setGridMode(true);
    // The text of every book, indexed in the background and again after
    // each install.
    m_textIndex = new LibrarySearchIndexer({}, {}, this);
    m_textIndex->followInstalls();
    m_textIndex->refresh();
    appear();
}

LibrarySearchWindow *ShelfVC::openLibrarySearch()
{
    if (!m_textSearch) {
        m_textSearch = new LibrarySearchWindow(m_textIndex, this);
        m_textSearch->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_textSearch, &LibrarySearchWindow::hitChosen, this, &ShelfVC::openSearchHit);
    }
    m_textIndex->refresh();
    m_textSearch->show();
    m_textSearch->raise();
    m_textSearch->searchField()->setFocus();
    return m_textSearch;
}

void ShelfVC::openSearchHit(const LibrarySearchIndex::Hit &hit, const QString &term)
{
    const ShelfEntry entry = ShelfModel::entryFor(hit.fileName);
    if (!QFileInfo::exists(entry.path)) {
        m_textIndex->refresh();
        return;
    }
    BookInfo info = shelfModel().readerInfo(entry, &m_app.shareHelper());
    info.lastPage = hit.page;
    info.searchTerm = term;
    if (m_textSearch)
        m_textSearch->close();
    m_app.changeToReader(info);
}

BookInfo ShelfVC::bookInfo(const Library &library, const QString &fileName)
{
    return ShelfModel(library).readerInfo(ShelfModel::entryFor(fileName), nullptr);
}

void ShelfVC::appear()
{
    m_app.window()->installToolbar(m_toolbar);
    setShelf();
}

void ShelfVC::showEvent(QShowEvent *event)
{
    ScreenVC::showEvent(event);
    m_coverTimer.start();
}

qint64 ShelfVC::shownLabelID() const
{
    const QList<LabelMaster> shelves = shelfModel().labels();
    if (m_pageID < 1 || m_pageID > shelves.size())
        return 1;
    return shelves.at(m_pageID - 1).labelID.value_or(1);
}

void ShelfVC::fillShelfBox()
{
    const QSignalBlocker block(m_shelfTable);
    m_shelfTable->clear();
    const QList<LabelMaster> shelves = shelfModel().labels();
    for (int row = 0; row < shelves.size(); ++row) {
        const QString name = shelves.at(row).labelName.value_or(QString());
        auto *item = new QListWidgetItem(name.isEmpty() ? QStringLiteral("本棚") : name);
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (row > 0) // the first shelf is neither renamed nor moved
            flags |= Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
        item->setFlags(flags);
        if (row == m_pageID - 1) {
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
        }
        m_shelfTable->addItem(item);
    }
    m_shelfTable->setCurrentRow(m_pageID - 1);
}

bool ShelfVC::dropShelf(int from, int to)
{
    if (!m_shelfTable->canDrop(from, to) || !shelfModel().swapShelves(from, to))
        return false;
    // The shown shelf stays shown wherever it went.
    if (m_pageID == from + 1)
        m_pageID = to + 1;
    else if (m_pageID == to + 1)
        m_pageID = from + 1;
    setShelf();
    return true;
}

void ShelfVC::swipeEnded(double offset)
{
    const int shelves = int(shelfModel().labels().size());
    const int page = std::clamp(
        ShelfModel::pageAfterSwipe(offset, std::max(1, m_list->width()), m_pageID), 1, std::max(1, shelves));
    if (page == m_pageID)
        return;
    // The shelf shown so far slides away to the side it was swiped to,
    // uncovering the next one.
    const bool forward = page > m_pageID;
    QWidget *books = m_list->viewport(); // clips the slide to the books
    auto *leaving = new QLabel(books);
    leaving->setPixmap(books->grab());
    leaving->setGeometry(books->rect());
    showShelf(page);
    leaving->show();
    leaving->raise();
    auto *slide = new QPropertyAnimation(leaving, "pos", leaving);
    slide->setDuration(220);
    slide->setEasingCurve(QEasingCurve::OutCubic);
    slide->setStartValue(leaving->pos());
    slide->setEndValue(leaving->pos() + QPoint(forward ? -leaving->width() : leaving->width(), 0));
    connect(slide, &QPropertyAnimation::finished, leaving, &QObject::deleteLater);
    slide->start();
}

bool ShelfVC::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::Wheel) {
        auto *wheel = static_cast<QWheelEvent *>(event);
        const QPoint pixels = wheel->pixelDelta();
        const QPoint angle = wheel->angleDelta();
        // Sideways only; up and down scroll the books.
        const bool sideways = pixels.isNull() ? std::abs(angle.x()) > std::abs(angle.y())
                                              : std::abs(pixels.x()) > std::abs(pixels.y());
        if (sideways || (m_swipe != 0 && wheel->phase() == Qt::ScrollEnd)) {
            // A wheel notch (120) counts as three quarters of a shelf: one
            // notch, one shelf.
            m_swipe -= pixels.isNull() ? angle.x() / 160.0 * m_list->width() : pixels.x();
            if (wheel->phase() == Qt::ScrollEnd || (wheel->phase() == Qt::NoScrollPhase && pixels.isNull())) {
                m_swipeEnd.stop();
                const double offset = m_swipe;
                m_swipe = 0;
                swipeEnded(offset);
            } else {
                m_swipeEnd.start();
            }
            return true;
        }
    }
    return ScreenVC::eventFilter(watched, event);
}

void ShelfVC::setShelf()
{
    const QList<LabelMaster> shelves = shelfModel().labels();
    if (m_pageID < 1 || m_pageID > shelves.size())
        m_pageID = 1;
    const QString stored
        = shelves.isEmpty() ? QString() : shelves.at(m_pageID - 1).labelName.value_or(QString());
    const QString name = stored.isEmpty() ? QStringLiteral("本棚") : stored;
    m_app.window()->setWindowTitle(QStringLiteral("%1 - %2").arg(QCoreApplication::applicationName(), name));
    m_app.analytics().sendGoogleAnalyticsWithScreenName(name);
    fillShelfBox();
    reload();
}

void ShelfVC::showShelf(int pageID)
{
    m_pageID = pageID;
    setShelf();
}

void ShelfVC::reload()
{
    {
        const QSignalBlocker block(m_sortBox);
        m_sortBox->setCurrentIndex(int(ShelfModel::sortList().indexOf(ShelfModel::currentSort())));
    }
    m_coverScan = 0;
    // Covers not made yet share one blank book until their turn comes.
    const qreal ratio = m_list->devicePixelRatioF();
    m_books->setBooks(shelfModel().items(shownLabelID(), m_searchBookList), shelfModel().booksByFileName(),
        QIcon(CoverCache::placeholder(QString(), ratio)),
        [this, ratio](const ShelfEntry &e) { return m_covers.cached(e, ratio); });
    updateEmptyState();
    m_coverTimer.start();
}

void ShelfVC::setGridMode(bool grid)
{
    m_grid = grid;
    if (m_gridAction)
        (grid ? m_gridAction : m_listAction)->setChecked(true);
    m_list->setItemDelegate(grid ? m_gridCells : m_listRows);
    m_list->setCoverLook(grid);
    reload();
}

void ShelfVC::openBook(int row)
{
    const QString fileName = m_books->index(row).data(ShelfBookListModel::FileNameRole).toString();
    if (fileName.isEmpty())
        return;
    m_app.changeToReader(shelfModel().readerInfo(ShelfModel::entryFor(fileName), &m_app.shareHelper()));
}

void ShelfVC::updateEmptyState()
{
    // While the tables of contents are still searched, a search has not
    // found nothing yet.
    if (m_searchBookList && searching()) {
        m_empty->setMessage(QString());
        return;
    }
    m_empty->setMessage(EmptyStates::shelf(
        m_searchBookList ? m_searchText : QString(), AccountSession::isLifted(), m_pageID == 1));
}

void ShelfVC::loadSomeCovers()
{
    // A handful per turn keeps the window answering while a large shelf
    // fills in: first the items on screen (a contiguous run from the first
    // visible one), then the rest in order.
    constexpr int kBatch = 8;
    int made = 0;
    auto make = [&](int row) {
        if (m_books->index(row).data(ShelfBookListModel::CoverMadeRole).toBool())
            return;
        const ShelfEntry entry = m_books->entry(row);
        const QString title = m_books->index(row).data(QLBTableCellView::kTitleRole).toString();
        m_books->setCover(row, QIcon(m_covers.cover(entry, title, m_list->devicePixelRatioF())));
        ++made;
    };
    // Nothing while the shelf is not on screen (the reader has the main
    // thread to itself); showing the shelf resumes.
    if (!m_list->isVisible())
        return;
    const int count = m_books->rowCount();
    const QRect visible = m_list->viewport()->rect();
    for (int row = std::max(0, m_list->indexAt(QPoint(1, 1)).row()); row < count && made < kBatch; ++row) {
        if (!m_list->visualRect(m_books->index(row)).intersects(visible))
            break;
        make(row);
    }
    // Ahead of the scrolling only as many as are kept: making more would
    // push out covers made a moment ago.
    const int ahead = std::min(count, m_covers.capacity());
    for (; m_coverScan < ahead && made < kBatch; ++m_coverScan)
        make(m_coverScan);
    if (m_coverScan < ahead || made == kBatch)
        m_coverTimer.start();
}

ShelfVC::~ShelfVC()
{
    m_searchToken->store(-1); // a scan still running stops
}

bool ShelfVC::searching() const
{
    return !m_searchBusy->text().isEmpty();
}

void ShelfVC::searchBook(const QString &text)
{
    const int generation = m_searchToken->fetch_add(1) + 1;
    auto setBusy = [this](bool busy) {
        m_searchBusy->setText(busy ? QStringLiteral("目次を検索中…") : QString());
        updateEmptyState();
    };
    m_searchText = text;
    if (text.isEmpty()) {
        setBusy(false);
        m_searchBookList.reset();
        reload();
        return;
    }
    m_searchBookList = shelfModel().searchTitles(text);
    m_searchBusy->setText(QStringLiteral("目次を検索中…")); // before the list shows: no "nothing found" yet
    reload();
    // Tables of contents mean opening every package: off the main thread.
    const QList<ShelfEntry> entries = shelfModel().contentsList(shownLabelID(), std::nullopt, true);
    setBusy(true);
    auto *watcher = new QFutureWatcher<QStringList>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation, setBusy] {
        watcher->deleteLater();
        if (generation != m_searchToken->load())
            return; // a newer search has taken over
        setBusy(false);
        if (!m_searchBookList)
            return;
        bool added = false;
        for (const QString &name : watcher->result()) {
            if (!m_searchBookList->contains(name)) {
                m_searchBookList->append(name);
                added = true;
            }
        }
        if (added)
            reload();
    });
    const auto token = m_searchToken;
    watcher->setFuture(QtConcurrent::run([entries, text, token, generation] {
        return ShelfModel::searchContents(entries, text, [&] { return token->load() != generation; });
    }));
}

void ShelfVC::chooseSort(const QString &label)
{
    ShelfModel::setSort(label);
    reload();
}

void ShelfVC::deleteBook(const QString &fileName)
{
    shelfModel().deleteBook(ShelfModel::entryFor(fileName));
    m_textIndex->refresh();
    reload();
}

void ShelfVC::askDeleteBook(const QString &fileName)
{
    if (fileName.isEmpty())
        return;
    const auto book = shelfModel().booksByFileName().value(fileName);
    const QString title = book.title.value_or(fileName);
    MsgBox::ask(QStringLiteral("「%1」をライブラリから削除してもよろしいですか?"
                               "しおり、ハイライト、メモも削除されます。")
                    .arg(title),
        QStringLiteral("確認"), guardedBy(this, [this, fileName](bool ok) {
            if (ok)
                deleteBook(fileName);
        }));
}

void ShelfVC::moveBook(const QString &fileName, int shelfIndex)
{
    shelfModel().moveBook(fileName, shelfIndex);
    reload();
}

void ShelfVC::showBookMenu(const QPoint &pos)
{
    const QString fileName = m_list->indexAt(pos).data(ShelfBookListModel::FileNameRole).toString();
    if (fileName.isEmpty())
        return;
    QMenu menu(this);
    menu.addAction(QStringLiteral("削除"), this, [this, fileName] { askDeleteBook(fileName); });
    QMenu *move = menu.addMenu(QStringLiteral("書籍を移動する"));
    const QList<LabelMaster> shelves = shelfModel().labels();
    for (int i = 0; i < shelves.size(); ++i) {
        const QString name = shelves.at(i).labelName.value_or(QString());
        QAction *a = move->addAction(name.isEmpty() ? QStringLiteral("本棚") : name, this,
            [this, fileName, i] { moveBook(fileName, i); });
        a->setEnabled(i != m_pageID - 1);
    }
    menu.exec(m_list->viewport()->mapToGlobal(pos));
}

bool ShelfVC::newShelf(const QString &name)
{
    if (!shelfModel().createShelf(name))
        return false;
    fillShelfBox();
    return true;
}

bool ShelfVC::renameShelf(int row, const QString &name)
{
    const QList<LabelMaster> shelves = shelfModel().labels();
    if (row < 0 || row >= shelves.size()
        || !shelfModel().renameShelf(shelves.at(row).labelID.value_or(-1), name))
        return false;
    setShelf();
    return true;
}

void ShelfVC::deleteShelf(int row)
{
    const QList<LabelMaster> shelves = shelfModel().labels();
    if (row <= 0 || row >= shelves.size())
        return; // the first shelf stays
    const LabelMaster shelf = shelves.at(row);
    const qint64 labelID = shelf.labelID.value_or(-1);
    auto finish = [this, labelID](bool deleteBooks) {
        // The list as it stands when the answer comes, not when it was asked.
        const QList<LabelMaster> before = shelfModel().labels();
        if (!shelfModel().deleteShelf(labelID, deleteBooks))
            return;
        m_pageID = ShelfModel::pageAfterDeleting(before, m_pageID, labelID);
        if (deleteBooks)
            m_textIndex->refresh();
        setShelf();
    };
    if (shelfModel().booksOnShelf(labelID) == 0) {
        finish(false);
        return;
    }
    const QString name = shelf.labelName.value_or(QString());
    MsgBox::ask(QStringLiteral("%1に本が存在されていますが、%2のすべての本を削除してもよろしいですか?")
                    .arg(name, name),
        QStringLiteral("確認"), guardedBy(this, [finish](bool ok) {
            if (ok)
                finish(true);
        }));
}

void ShelfVC::askNewShelf()
{
    bool ok = false;
    const QString name = QInputDialog::getText(
        this, QStringLiteral("新規"), QStringLiteral("本棚の名前"), QLineEdit::Normal, QString(), &ok);
    if (ok)
        newShelf(name);
}

void ShelfVC::askRenameShelf()
{
    if (m_pageID <= 1) {
        MsgBox::infoMessage(QStringLiteral("この本棚の名前は変更できません"));
        return;
    }
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("名前を変更"),
        QStringLiteral("本棚の名前"), QLineEdit::Normal,
        m_shelfTable->currentItem() ? m_shelfTable->currentItem()->text() : QString(), &ok);
    if (ok)
        renameShelf(m_pageID - 1, name);
}

void ShelfVC::askImportPdf()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("PDFを取り込む"), QString(), QStringLiteral("PDF (*.pdf *.PDF)"));
    if (!path.isEmpty())
        importPdf(path);
}

void ShelfVC::importPdf(const QString &path)
{
    // Installed like a store download under the identifier of books from disk.
    QUrl url = QUrl::fromLocalFile(path);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("book_id"), QStringLiteral("999999"));
    query.addQueryItem(QStringLiteral("bookId"), QString::fromLatin1(BookInfo::kBookIdFromDisk));
    query.addQueryItem(QStringLiteral("bookTitle"), url.fileName());
    query.addQueryItem(QStringLiteral("bookAuthor"), QStringLiteral("未知"));
    query.addQueryItem(QStringLiteral("bookPublisher"), QStringLiteral("未知"));
    url.setQuery(query);
    m_app.downloadFromExternal(QNetworkRequest(url));
}

void ShelfVC::askAddDictionary()
{
    // A multi-file dictionary is picked by the file that describes it (an
    // EPWING book by its CATALOGS file); the others are found beside it.
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("辞書ファイルを追加"), QString(),
        QStringLiteral(
            "辞書ファイル (*.csv *.index *.ifo CATALOGS catalogs CATALOG catalog);;すべてのファイル (*)"));
    if (!path.isEmpty())
        addDictionaryFile(path);
}

void ShelfVC::addDictionaryFile(const QString &path)
{
    m_app.downloadSheet().importDictionaryFile(path);
}

bool ShelfVC::setDictionaryUsed(qint64 dicId, bool used)
{
    return shelfModel().setDictionaryUsed(dicId, used);
}
