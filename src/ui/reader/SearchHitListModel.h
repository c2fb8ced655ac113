// The rows of the reader's search pop-over as a list model over
// InBookSearch: one row per hit, then the extra row ("More",
// "先頭から検索する", or the spinner while searching). Reset whenever the
// search's list changes.
//
// Main thread only. The search is not owned; a search that is gone leaves
// the model empty.
#pragma once

#include "core/reader/InBookSearch.h"

#include <QAbstractListModel>
#include <QPointer>

class SearchHitListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        // The row's texts with the term marked (RichTextRowDelegate::HtmlRole).
        HtmlRole = Qt::UserRole + 100,
        TitleRole = Qt::UserRole + 1, // the bold line
        DetailRole, // the second line
        ExtraRole, // bool: "More", "先頭から検索する" or the spinner
        SpinnerRole, // bool: the search is running
    };

    explicit SearchHitListModel(InBookSearch *search, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    // Qt::DisplayRole: title and detail on two lines (not drawn: the view
    // draws HtmlRole); Qt::AccessibleTextRole the same, "検索中" for the
    // spinner; an invalid QVariant outside the list.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QPointer<InBookSearch> m_search;
};
