#include "SearchHitListModel.h"

namespace
{

// The term's background stays readable on a selected row too: the marked
// part keeps dark text.
QString marked(const QString &text, int start, int length)
{
    if (start < 0 || length <= 0 || start >= text.size())
        return text.toHtmlEscaped();
    return text.left(start).toHtmlEscaped()
        + QStringLiteral("<span style=\"background-color:#ffef5e; color:#000000\">")
        + text.mid(start, length).toHtmlEscaped() + QStringLiteral("</span>")
        + text.mid(start + length).toHtmlEscaped();
}

} // namespace

SearchHitListModel::SearchHitListModel(InBookSearch *search, QObject *parent)
    : QAbstractListModel(parent)
    , m_search(search)
{
    if (m_search) {
        connect(m_search, &InBookSearch::resultsChanged, this, [this] {
            beginResetModel();
            endResetModel();
        });
        connect(m_search, &QObject::destroyed, this, [this] {
            beginResetModel();
            endResetModel();
        });
    }
}

int SearchHitListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_search ? 0 : m_search->numberOfRows();
}

QVariant SearchHitListModel::data(const QModelIndex &index, int role) const
{
    if (!m_search || !index.isValid() || index.row() >= rowCount())
        return {};
    const InBookSearch::Row row = m_search->row(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return row.title + u'\n' + row.detail;
    case Qt::AccessibleTextRole:
        return row.spinner ? QStringLiteral("検索中") : row.title + u'\n' + row.detail;
    case TitleRole:
        return row.title;
    case DetailRole:
        return row.detail;
    case ExtraRole:
        return row.extra || row.spinner;
    case SpinnerRole:
        return row.spinner;
    case HtmlRole: {
        if (row.spinner)
            return QStringLiteral("<span style=\"font-size:14pt\">検索中…</span>");
        QString html = QStringLiteral("<b style=\"font-size:14pt\">%1</b>")
                           .arg(row.extra ? row.title.toHtmlEscaped()
                                          : marked(row.title, row.markStart, row.markLength));
        if (!row.extra)
            html += QStringLiteral("<br><span style=\"font-size:11pt\">%1</span>")
                        .arg(marked(row.detail, row.detailMarkStart, row.detailMarkLength));
        return html;
    }
    default:
        return {};
    }
}

QHash<int, QByteArray> SearchHitListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(HtmlRole, "html");
    names.insert(TitleRole, "title");
    names.insert(DetailRole, "detail");
    names.insert(ExtraRole, "extra");
    names.insert(SpinnerRole, "spinner");
    return names;
}
