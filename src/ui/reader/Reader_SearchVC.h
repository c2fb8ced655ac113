// The reader's search pop-over: a search field and the list of hits of the
// open book, over the search logic of InBookSearch (kept by the reader, so
// that the results and the last term stay between openings). Choosing a
// hit (one click, or Enter) emits hitChosen and closes the pop-over; the
// reader shows the hit. The extra row ("More", "先頭から検索する") starts its
// search at once and the pop-over stays open.
//
// Main thread only.
#pragma once

#include "core/reader/InBookSearch.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class ChoiceListView;
class QLineEdit;
class QWebEnginePage;
class SearchHitListModel;

class Reader_SearchVC : public QWidget
{
    Q_OBJECT
public:
    explicit Reader_SearchVC(InBookSearch *search, QWidget *parent = nullptr);

    // Shows the pop-over under `anchor` (its maximum-Y edge), the field
    // focused.
    void popup(QWidget *anchor);

    // The field's action: starts a search unless the term is empty or the
    // last one.
    void updateSearch();

    QLineEdit *searchField() const { return m_field; }
    // The hits, over searchResultModel().
    ChoiceListView *searchResultView() const { return m_list; }
    SearchHitListModel *searchResultModel() const { return m_model; }
    InBookSearch *search() const { return m_search; }

    // Selects the chosen hit on `page` with the web view's find:
    // `nowSelectStr`, else the last term forwards, else backwards; and marks
    // every occurrence of the term with the page script. `done` (optional)
    // gets whether something was found.
    static void selectToStr(QWebEnginePage *page, const QString &nowSelectStr, const QString &lastSearchStr,
        std::function<void(bool)> done = {});

signals:
    void hitChosen(const InBookSearch::Choice &choice);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rowChosen(int row);

    QPointer<InBookSearch> m_search;
    QLineEdit *m_field;
    SearchHitListModel *m_model;
    ChoiceListView *m_list;
};
