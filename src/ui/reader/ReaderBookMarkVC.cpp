#include "ReaderBookMarkVC.h"

#include "core/reader/ReaderAnnotations.h"
#include "ui/app/ChoiceListView.h"
#include "ui/app/MsgBox.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{

ChoiceListView *makeTable(const char *name, AnnotationList::Tab tab, QWidget *parent)
{
    auto *table = new ChoiceListView(parent);
    table->setObjectName(QLatin1String(name));
    table->setModel(new AnnotationListModel(tab, table));
    table->setWordWrap(true);
    table->setResizeMode(QListView::Adjust); // rows wrap again at a new width
    table->setAlternatingRowColors(false);
    table->setStyleSheet(
        // Rows in the list's own colours, which follow the reading theme.
        QStringLiteral(
            "QListView::item { padding: 3px 2px; border-bottom: 1px solid rgba(128, 128, 128, 90); }"
            "QListView::item:selected { background: palette(highlight); "
            "color: palette(highlighted-text); }"));
    return table;
}

AnnotationListModel *modelOf(ChoiceListView *table)
{
    return static_cast<AnnotationListModel *>(table->model());
}

} // namespace

ReaderBookMarkVC::ReaderBookMarkVC(AnnotationRepository annotations, QWidget *parent)
    : QFrame(parent, Qt::Popup)
    , m_rules(annotations)
    , m_tabs(new QTabWidget(this))
    , m_bookmarks(makeTable("mainTable", AnnotationList::Tab::Bookmarks, this))
    , m_highlights(makeTable("highlightTable", AnnotationList::Tab::Highlights, this))
    , m_memos(makeTable("memoTable", AnnotationList::Tab::Memos, this))
    , m_edit(new QPushButton(QStringLiteral("タイトルを編集"), this))
    , m_export(new QPushButton(QStringLiteral("書き出す…"), this))
{
    setObjectName(QStringLiteral("bookMarkList"));
    setFrameShape(QFrame::StyledPanel);
    m_tabs->setObjectName(QStringLiteral("mainTab"));
    m_tabs->addTab(m_bookmarks, QStringLiteral("しおり"));
    m_tabs->addTab(m_highlights, QStringLiteral("ハイライト"));
    m_tabs->addTab(m_memos, QStringLiteral("メモ"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_edit);
    buttons->addStretch();
    buttons->addWidget(m_export);
    layout->addLayout(buttons);
    resize(360, 460);

    auto *exportMenu = new QMenu(m_export);
    exportMenu->addAction(
        QStringLiteral("Markdown で書き出す…"), this, [this] { askExport(QStringLiteral("markdown")); });
    exportMenu->addAction(
        QStringLiteral("JSON で書き出す…"), this, [this] { askExport(QStringLiteral("json")); });
    m_export->setMenu(exportMenu);
    m_edit->setToolTip(QStringLiteral("選んだしおりのタイトルを編集 (F2)"));
    m_edit->setShortcut(QKeySequence(Qt::Key_F2));
    connect(m_edit, &QPushButton::clicked, this, &ReaderBookMarkVC::tapEdit);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) { m_edit->setEnabled(index == 0); });
    for (ChoiceListView *table : { m_bookmarks, m_highlights, m_memos })
        connect(table, &ChoiceListView::rowChosen, this, &ReaderBookMarkVC::choose);
}

void ReaderBookMarkVC::reloadVC(qint64 bookID, const QString &bookTitle)
{
    m_bookID = bookID;
    m_title = bookTitle;
    m_list = AnnotationList::load(m_rules.annotations(), bookID);
    for (ChoiceListView *table : { m_bookmarks, m_highlights, m_memos })
        modelOf(table)->setRows(m_list);
    m_tabs->setTabText(0, QStringLiteral("しおり (%1)").arg(m_list.bookMarkList().size()));
    m_tabs->setTabText(1, QStringLiteral("ハイライト (%1)").arg(m_list.highlightList().size()));
    m_tabs->setTabText(2, QStringLiteral("メモ (%1)").arg(m_list.memoList().size()));
}

void ReaderBookMarkVC::choose(int row)
{
    const auto tab = AnnotationList::Tab(m_tabs->currentIndex() + 1);
    const auto &records = m_list.list(tab);
    if (row < 0 || row >= records.size())
        return;
    const BookHighlightMemo record = records[row];
    hide();
    emit recordChosen(record);
}

void ReaderBookMarkVC::tapEdit()
{
    const int row = m_bookmarks->currentIndex().row();
    if (m_tabs->currentIndex() != 0 || row < 0)
        return;
    bool ok = false;
    const QString title = QInputDialog::getText(this, QStringLiteral("しおり"),
        QStringLiteral("タイトルを入力してください。"), QLineEdit::Normal,
        ReaderAnnotations::bookmarkTitle(m_list.bookMarkList().value(row)), &ok);
    if (ok)
        setTitle(row, title);
}

void ReaderBookMarkVC::setTitle(int row, const QString &title)
{
    if (row < 0 || row >= m_list.bookMarkList().size() || title.isEmpty())
        return;
    const BookHighlightMemo &mark = m_list.bookMarkList()[row];
    m_rules.setBookmarkTitle(m_bookID, int(mark.PageIdx.value_or(0)), title);
    reloadVC(m_bookID, m_title);
    m_bookmarks->setCurrentIndex(m_bookmarks->model()->index(row, 0));
}

bool ReaderBookMarkVC::exportTo(const QString &path, const QString &format, QString *error) const
{
    const QByteArray data = format == u"json" ? m_list.toJson(m_title) : m_list.toMarkdown(m_title).toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

void ReaderBookMarkVC::askExport(const QString &format)
{
    const bool json = format == u"json";
    QString base = m_title.isEmpty() ? QStringLiteral("annotations") : m_title;
    base.replace(u'/', u'_');
    const QString suggested
        = QDir::home().filePath(base + (json ? QStringLiteral(".json") : QStringLiteral(".md")));
    hide();
    const QString path = QFileDialog::getSaveFileName(parentWidget(), QStringLiteral("注釈を書き出す"),
        suggested, json ? QStringLiteral("JSON (*.json)") : QStringLiteral("Markdown (*.md)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!exportTo(path, format, &error))
        MsgBox::errorMessage(QStringLiteral("書き出せませんでした: %1").arg(error));
}
