#include "LibrarySearchHitModel.h"

namespace
{

// The term keeps dark text on its light background on a selected row too.
QString marked(const QString &text, int start, int length)
{
    if (start < 0 || length <= 0 || start >= text.size())
        return text.toHtmlEscaped();
    return text.left(start).toHtmlEscaped()
        + QStringLiteral("<b style=\"background-color:#ffef5e; color:#000000\">")
        + text.mid(start, length).toHtmlEscaped() + QStringLiteral("</b>")
        + text.mid(start + length).toHtmlEscaped();
}

} // namespace

LibrarySearchHitModel::LibrarySearchHitModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void LibrarySearchHitModel::setHits(const QList<LibrarySearchIndex::Hit> &hits)
{
    beginResetModel();
    m_hits = hits;
    endResetModel();
}

QString LibrarySearchHitModel::place(const LibrarySearchIndex::Hit &h)
{
    return h.isPdf ? QStringLiteral("%1ページ").arg(h.location)
                   : (h.location.isEmpty() ? QStringLiteral("%1").arg(h.page + 1) : h.location);
}

int LibrarySearchHitModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_hits.size());
}

QVariant LibrarySearchHitModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_hits.size())
        return {};
    const LibrarySearchIndex::Hit &h = m_hits.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return h.title + u' ' + place(h) + u'\n' + h.snippet;
    case HtmlRole:
        return QStringLiteral("<b>%1</b> — %2<br><span style=\"font-size:small\">%3</span>")
            .arg(h.title.toHtmlEscaped(), place(h).toHtmlEscaped(),
                marked(h.snippet, h.markStart, h.markLength));
    case FileNameRole:
        return h.fileName;
    case PageRole:
        return h.page;
    case PlaceRole:
        return place(h);
    default:
        return {};
    }
}

QHash<int, QByteArray> LibrarySearchHitModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(HtmlRole, "html");
    names.insert(FileNameRole, "fileName");
    names.insert(PageRole, "page");
    names.insert(PlaceRole, "place");
    return names;
}
