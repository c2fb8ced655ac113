#include "AnnotationListModel.h"

#include "core/reader/ReaderAnnotations.h"

AnnotationListModel::AnnotationListModel(AnnotationList::Tab tab, QObject *parent)
    : QAbstractListModel(parent)
    , m_tab(tab)
{
}

void AnnotationListModel::setRows(const AnnotationList &list)
{
    beginResetModel();
    m_rows = list.list(m_tab);
    endResetModel();
}

const BookHighlightMemo *AnnotationListModel::record(int row) const
{
    return row >= 0 && row < m_rows.size() ? &m_rows[row] : nullptr;
}

int AnnotationListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant AnnotationListModel::data(const QModelIndex &index, int role) const
{
    const BookHighlightMemo *r = index.isValid() ? record(index.row()) : nullptr;
    if (!r)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return AnnotationList::rowText(m_tab, *r);
    case Qt::ToolTipRole:
        return ReaderAnnotations::shortTimeText(r->updateTime);
    case PageRole:
        return int(r->PageIdx.value_or(0));
    case TimeRole:
        return r->updateTime.value_or(QDateTime());
    case ChapterRole:
        return r->contentTitle.value_or(QString());
    case MarkedTextRole:
        return r->markedText.value_or(QString());
    case MemoRole:
        return r->memotext.value_or(QString());
    default:
        return {};
    }
}

QHash<int, QByteArray> AnnotationListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(PageRole, "page");
    names.insert(TimeRole, "time");
    names.insert(ChapterRole, "chapter");
    names.insert(MarkedTextRole, "markedText");
    names.insert(MemoRole, "memo");
    return names;
}
