#include "ShelfBookListModel.h"

#include "QLBTableCellView.h"

ShelfBookListModel::ShelfBookListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void ShelfBookListModel::setBooks(const QList<ShelfEntry> &entries, const QHash<QString, BookMetaData> &books,
    const QIcon &blank, const std::function<QPixmap(const ShelfEntry &)> &known)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(entries.size());
    for (const ShelfEntry &e : entries) {
        Row row;
        row.entry = e;
        const auto b = books.constFind(e.fileName);
        row.title = b != books.cend() ? b->title.value_or(e.fileName) : e.fileName;
        row.creator = b != books.cend() ? b->creator.value_or(QString()) : QString();
        if (b != books.cend())
            row.subTitle = QLBTableCellView::subTitle(b->creator, b->publisher);
        // When the book came into the library (the download or the import
        // from disk), as stored: the file's own time changes with a copy.
        row.time = QLBTableCellView::timeText(e.downloaded);
        const QPixmap cover = known ? known(e) : QPixmap();
        row.cover = cover.isNull() ? blank : QIcon(cover);
        row.coverMade = !cover.isNull();
        m_rows.append(row);
    }
    endResetModel();
}

void ShelfBookListModel::setCover(int row, const QIcon &cover)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].cover = cover;
    m_rows[row].coverMade = true;
    const QModelIndex i = index(row);
    emit dataChanged(i, i, { Qt::DecorationRole, CoverMadeRole });
}

ShelfEntry ShelfBookListModel::entry(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).entry : ShelfEntry {};
}

int ShelfBookListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ShelfBookListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_rows.size())
        return {};
    const Row &r = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return r.creator.isEmpty() ? r.title : QStringLiteral("%1 — %2").arg(r.title, r.creator);
    case Qt::ToolTipRole:
    case FileNameRole:
        return r.entry.fileName;
    case Qt::DecorationRole:
        return r.cover;
    case PathRole:
        return r.entry.path;
    case IsPdfRole:
        return r.entry.isPdf();
    case CoverMadeRole:
        return r.coverMade;
    case QLBTableCellView::kTitleRole:
        return r.title;
    case QLBTableCellView::kSubTitleRole:
        return r.subTitle.isNull() ? QVariant() : QVariant(r.subTitle);
    case QLBTableCellView::kTimeRole:
        return r.time;
    default:
        return {};
    }
}

QHash<int, QByteArray> ShelfBookListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(FileNameRole, "fileName");
    names.insert(PathRole, "path");
    names.insert(IsPdfRole, "isPdf");
    names.insert(CoverMadeRole, "coverMade");
    names.insert(QLBTableCellView::kTitleRole, "title");
    names.insert(QLBTableCellView::kSubTitleRole, "subTitle");
    names.insert(QLBTableCellView::kTimeRole, "time");
    return names;
}
