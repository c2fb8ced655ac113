#include "ReaderAnnotationActions.h"

#include "MemoPopover.h"
#include "PageScripts.h"
#include "ReaderBookMarkVC.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/Logging.h"
#include "core/util/NotificationCenter.h"

#include <QAction>
#include <QCursor>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWidget>

namespace
{

QAction *makeAction(
    QObject *parent, const QString &name, const QString &text, const QKeySequence &key, const QString &tip)
{
    auto *a = new QAction(text, parent);
    a->setObjectName(name);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    a->setToolTip(QStringLiteral("%1 (%2)").arg(tip, key.toString(QKeySequence::NativeText)));
    return a;
}

QStringList nodeTextsOf(const QString &json)
{
    QStringList texts;
    for (const QJsonValue &v : QJsonDocument::fromJson(json.toUtf8()).array())
        texts << v.toString();
    return texts;
}

} // namespace

ReaderAnnotationActions::ReaderAnnotationActions(AnnotationRepository annotations, QWidget *host, Hooks hooks)
    : QObject(host)
    , m_host(host)
    , m_rules(annotations)
    , m_hooks(std::move(hooks))
    , m_bookmark(makeAction(this, QStringLiteral("bookmarkAction"), QStringLiteral("しおり"),
          QKeySequence(Qt::CTRL | Qt::Key_D), QStringLiteral("このページにしおりを付ける・外す")))
    , m_list(makeAction(this, QStringLiteral("annotationListAction"), QStringLiteral("一覧"),
          QKeySequence(Qt::CTRL | Qt::Key_B), QStringLiteral("しおり・ハイライト・メモの一覧")))
    , m_highlight(makeAction(this, QStringLiteral("highlightAction"), QStringLiteral("ハイライト"),
          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H), QStringLiteral("選んだ文をハイライト")))
    , m_memo(makeAction(this, QStringLiteral("memoAction"), QStringLiteral("メモ"),
          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M), QStringLiteral("選んだ文にメモを付ける")))
    , m_delete(makeAction(this, QStringLiteral("deleteHighlightAction"), QStringLiteral("ハイライトを削除"),
          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D), QStringLiteral("選んだ所のハイライトを削除")))
    , m_popover(new MemoPopover(host))
    , m_listView(new ReaderBookMarkVC(annotations, host))
{
    m_bookmark->setCheckable(true);
    for (QAction *a : { m_bookmark, m_list, m_highlight, m_memo, m_delete })
        host->addAction(a);
    connect(m_bookmark, &QAction::triggered, this, &ReaderAnnotationActions::bmBtnClick);
    connect(m_list, &QAction::triggered, this, &ReaderAnnotationActions::tapBookMark);
    connect(m_highlight, &QAction::triggered, this, [this] { highlight(); });
    connect(m_memo, &QAction::triggered, this, [this] {
        // On a highlight: its memo; else a new highlight with a memo.
        highlightAt(QPoint(-1, -1), [this](const AnnotationTarget &target) { memo(target); });
    });
    connect(m_delete, &QAction::triggered, this, &ReaderAnnotationActions::delhighlight);

    connect(m_popover, &MemoPopover::saveRequested, this,
        [this](const BookHighlightMemo &record, const QString &text) {
            BookHighlightMemo r = record;
            QString script;
            if (!m_rules.saveMemo(r, text, &script))
                qCWarning(lcLibrary) << "the memo could not be saved";
            if (!script.isEmpty())
                script.prepend(QStringLiteral("removeHighlight(%1);")
                                   .arg(ReaderAnnotations::jsQuote(ReaderAnnotations::identifier(r))));
            run(script + QLatin1String(ReaderAnnotations::kClearSelection),
                [this](const QVariant &) { emit commandDone(QStringLiteral("memoSaved")); });
        });
    connect(m_popover, &MemoPopover::deleteRequested, this, [this](const BookHighlightMemo &record) {
        BookHighlightMemo r = record;
        run(m_rules.deleteMemo(r) + QLatin1String(ReaderAnnotations::kClearSelection),
            [this](const QVariant &) { emit commandDone(QStringLiteral("memoDeleted")); });
    });
    connect(m_listView, &ReaderBookMarkVC::recordChosen, this, [this](const BookHighlightMemo &record) {
        const int page = int(record.PageIdx.value_or(0));
        const bool highlight = record.highlightNo.value_or(0) > 0;
        if (page == m_hooks.page().pageIdx) {
            if (highlight)
                run(QStringLiteral("qmScrollToHighlight(%1)")
                        .arg(ReaderAnnotations::jsQuote(ReaderAnnotations::identifier(record))));
            return;
        }
        m_scrollTo = highlight ? ReaderAnnotations::identifier(record) : QString();
        m_hooks.showPage(page);
    });
    // Annotations downloaded for this book: the button and the marks again.
    NotificationCenter::defaultCenter().observe(
        QString::fromLatin1(QMShareHelper::kSyncDone), this, [this](const QVariant &) { reloadBmHl(); });
}

ReaderAnnotationActions::~ReaderAnnotationActions() = default;

void ReaderAnnotationActions::addTo(QToolBar *toolbar, bool epub)
{
    toolbar->addAction(m_bookmark);
    if (QWidget *button = toolbar->widgetForAction(m_bookmark)) {
        // As wide marked as not: the buttons beside it stay where they are.
        const QString shown = m_bookmark->text();
        m_bookmark->setText(QStringLiteral("しおり ✓"));
        const int marked = button->sizeHint().width();
        m_bookmark->setText(QStringLiteral("しおり"));
        button->setMinimumWidth(std::max(marked, button->sizeHint().width()));
        m_bookmark->setText(shown);
    }
    toolbar->addAction(m_list);
    if (epub) {
        toolbar->addAction(m_highlight);
        toolbar->addAction(m_memo);
    }
    for (QAction *a : { m_highlight, m_memo, m_delete })
        a->setEnabled(epub);
}

void ReaderAnnotationActions::run(const QString &script, std::function<void(const QVariant &)> done)
{
    QWebEnginePage *page = m_hooks.web ? m_hooks.web() : nullptr;
    if (!page) {
        if (done)
            done(QVariant());
        return;
    }
    if (!done) {
        PageScripts::run(page, script);
        return;
    }
    // An answer for a page no longer shown, or after the reader is gone,
    // is dropped.
    QPointer<ReaderAnnotationActions> self(this);
    const quint64 generation = m_generation;
    PageScripts::run(page, script, [self, generation, done](const QVariant &result) {
        if (self && self->m_generation == generation)
            done(result);
    });
}

void ReaderAnnotationActions::pageChanged()
{
    ++m_generation;
    m_popover->dismiss();
}

QPoint ReaderAnnotationActions::popupPoint() const
{
    const QRect screen = m_host->rect();
    QPoint p = m_host->mapFromGlobal(QCursor::pos());
    if (!screen.contains(p))
        p = screen.center();
    return m_host->mapToGlobal(p);
}

void ReaderAnnotationActions::highlightAt(
    const QPoint &viewPos, std::function<void(const AnnotationTarget &)> ready)
{
    const QString script = viewPos.x() < 0
        ? QStringLiteral("isSellectionHighlighMemoed()")
        : QStringLiteral("qmHighlightAt(%1,%2)").arg(viewPos.x()).arg(viewPos.y());
    run(script, [this, ready](const QVariant &answer) {
        AnnotationTarget target;
        const QString id = answer.toString();
        if (!id.isEmpty() && id != u"false") {
            target.sel = id;
            target.bhm = m_rules.findByIdentifier(m_hooks.page(), id);
            if (target.bhm)
                target.time = target.bhm->updateTime;
        }
        ready(target);
    });
}

void ReaderAnnotationActions::addContextItems(QMenu *menu, bool hasSelection, const AnnotationTarget &target)
{
    if (!m_hooks.web || !m_hooks.web())
        return;
    const bool onHighlight = target.sel != u"false" && target.bhm;
    if (!hasSelection && !onHighlight)
        return;
    if (!menu->isEmpty())
        menu->addSeparator();
    if (hasSelection && !onHighlight) {
        menu->addAction(m_highlight);
        QAction *a = menu->addAction(QStringLiteral("メモを付ける"), this, [this, target] { memo(target); });
        a->setObjectName(QStringLiteral("addMemoItem"));
    }
    if (onHighlight) {
        const bool hasMemo = target.bhm->memotext && !target.bhm->memotext->isEmpty();
        QAction *edit
            = menu->addAction(hasMemo ? QStringLiteral("メモを編集") : QStringLiteral("メモを付ける"), this,
                [this, target] { memo(target); });
        edit->setObjectName(QStringLiteral("editMemoItem"));
        QAction *del = menu->addAction(
            hasMemo ? QStringLiteral("ハイライトとメモを削除") : QStringLiteral("ハイライトを削除"), this,
            [this, target] { delmemo(target); });
        del->setObjectName(QStringLiteral("deleteHighlightItem"));
        QAction *info = menu->addAction(
            QStringLiteral("ハイライトした日時"), this, [this, target] { highlightInfo(target); });
        info->setObjectName(QStringLiteral("highlightInfoItem"));
    }
}

void ReaderAnnotationActions::highlight(std::function<void(const std::optional<BookHighlightMemo> &)> done)
{
    // One call for everything the page must tell: both ends, the selected
    // text and the page's numbered texts (kept with the highlight).
    run(QStringLiteral("JSON.stringify([getSelectionStartQmNodeInfo(), getSelectionEndQmNodeInfo(),"
                       " String(window.getSelection()), qmNodeTexts()])"),
        [this, done](const QVariant &answer) {
            const QJsonArray parts = QJsonDocument::fromJson(answer.toString().toUtf8()).array();
            const auto result = m_rules.highlight(m_hooks.page(), parts.at(0).toString(),
                parts.at(1).toString(), parts.at(2).toString(), nodeTextsOf(parts.at(3).toString()));
            run(result.script, [this, done, record = result.record](const QVariant &) {
                emit commandDone(QStringLiteral("highlight"));
                if (done)
                    done(record);
            });
        });
}

void ReaderAnnotationActions::delhighlight()
{
    run(QStringLiteral("isSellectionHighlighMemoed()"), [this](const QVariant &answer) {
        const QString script = m_rules.deleteHighlight(m_hooks.page(), answer.toString());
        run(script.isEmpty() ? QLatin1String(ReaderAnnotations::kClearSelection) : script,
            [this](const QVariant &) { emit commandDone(QStringLiteral("delhighlight")); });
    });
}

void ReaderAnnotationActions::memo(const AnnotationTarget &target)
{
    if (target.bhm) {
        openMemo(*target.bhm, target.sel);
        return;
    }
    highlight([this](const std::optional<BookHighlightMemo> &record) {
        if (record)
            openMemo(*record, ReaderAnnotations::identifier(*record));
    });
}

void ReaderAnnotationActions::openMemo(const BookHighlightMemo &record, const QString &sel)
{
    m_popover->showFor(record, sel, popupPoint());
}

void ReaderAnnotationActions::delmemo(const AnnotationTarget &target)
{
    QString script;
    if (target.bhm) {
        BookHighlightMemo r = *target.bhm;
        script = m_rules.deleteMemo(r);
    } else if (target.sel != u"false") {
        script = QStringLiteral("removeHighlight(%1);").arg(ReaderAnnotations::jsQuote(target.sel));
    }
    run(script + QLatin1String(ReaderAnnotations::kClearSelection),
        [this](const QVariant &) { emit commandDone(QStringLiteral("delmemo")); });
}

void ReaderAnnotationActions::highlightInfo(const AnnotationTarget &target)
{
    auto *pop = new QFrame(m_host, Qt::Popup);
    pop->setObjectName(QStringLiteral("highlightInfo"));
    pop->setAttribute(Qt::WA_DeleteOnClose);
    pop->setFrameShape(QFrame::StyledPanel);
    auto *label = new QLabel(
        QStringLiteral("ハイライトした日時: %1").arg(ReaderAnnotations::timeText(target.time)), pop);
    label->setObjectName(QStringLiteral("highlightTime"));
    (new QVBoxLayout(pop))->addWidget(label);
    pop->move(popupPoint());
    pop->show();
}

void ReaderAnnotationActions::setLocalHighlightToCurrentIdx()
{
    const AnnotationPage page = m_hooks.page();
    if (!m_hooks.web || !m_hooks.web() || page.bookID <= 0) {
        emit highlightsDrawn(0);
        return;
    }
    auto draw = [this](const AnnotationPage &page) {
        const QString marks = m_rules.pageScript(page);
        const int count = int(marks.count(QLatin1String("setHighlight(")));
        // Marks already in the page (drawn before a download) go first, so
        // nothing is drawn twice and what was deleted elsewhere disappears.
        run(QStringLiteral("qmClearHighlights();") + marks, [this, count](const QVariant &) {
            if (!m_scrollTo.isEmpty()) {
                run(QStringLiteral("qmScrollToHighlight(%1)").arg(ReaderAnnotations::jsQuote(m_scrollTo)));
                m_scrollTo.clear();
            }
            emit highlightsDrawn(count);
        });
    };
    if (!m_rules.keepsText(page)) {
        draw(page);
        return;
    }
    // Highlights that keep their text are checked against the page first:
    // the book may be a newer edition.
    run(QStringLiteral("qmNodeTexts()"), [this, page, draw](const QVariant &answer) {
        m_rules.reanchor(page, nodeTextsOf(answer.toString()));
        draw(page);
    });
}

void ReaderAnnotationActions::reloadBookMark()
{
    const AnnotationPage page = m_hooks.page();
    const bool on = m_rules.isBookmarked(page.bookID, page.pageIdx);
    const QSignalBlocker block(m_bookmark);
    m_bookmark->setChecked(on);
    m_bookmark->setText(on ? QStringLiteral("しおり ✓") : QStringLiteral("しおり"));
}

void ReaderAnnotationActions::reloadBmHl()
{
    reloadBookMark();
    setLocalHighlightToCurrentIdx();
}

void ReaderAnnotationActions::bmBtnClick(bool on)
{
    const AnnotationPage page = m_hooks.page();
    m_rules.setBookmark(page.bookID, page.pageIdx, on,
        m_hooks.bookmarkManifestId ? m_hooks.bookmarkManifestId() : std::nullopt, page.metaBookID);
    const QSignalBlocker block(m_bookmark);
    m_bookmark->setChecked(on);
    m_bookmark->setText(on ? QStringLiteral("しおり ✓") : QStringLiteral("しおり"));
}

void ReaderAnnotationActions::tapBookMark()
{
    const AnnotationPage page = m_hooks.page();
    m_listView->reloadVC(page.bookID, m_hooks.bookTitle ? m_hooks.bookTitle() : QString());
    const QPoint corner
        = m_host->mapToGlobal(QPoint(std::max(0, m_host->width() - m_listView->width() - 8), 8));
    m_listView->move(corner);
    m_listView->show();
    m_listView->mainTab()->setFocus();
}
