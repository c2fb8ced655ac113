// The annotation list of the open book: tabs for its bookmarks, highlights
// and memos, sorted by page; choosing a row (one click, or Enter) shows its
// page. Highlight and memo rows name their chapter and the start of the
// highlighted text. Bookmark titles
// are edited here, and the whole list is exported as Markdown or JSON.
//
// Main thread only. Owned by the widget given as parent; rebuilt from the
// library each time it is opened.
#pragma once

#include "AnnotationListModel.h"
#include "core/reader/AnnotationList.h"
#include "core/reader/ReaderAnnotations.h"

#include <QFrame>

class ChoiceListView;
class QPushButton;
class QTabWidget;

class ReaderBookMarkVC : public QFrame
{
    Q_OBJECT
public:
    // `annotations`' store must outlive the list.
    ReaderBookMarkVC(AnnotationRepository annotations, QWidget *parent);

    // Reads the book's annotations and fills the three tables.
    void reloadVC(qint64 bookID, const QString &bookTitle);
    const AnnotationList &annotations() const { return m_list; }

    QTabWidget *mainTab() const { return m_tabs; }
    // The three tabs' lists, each over its AnnotationListModel.
    ChoiceListView *mainTable() const { return m_bookmarks; }
    ChoiceListView *highlightTable() const { return m_highlights; }
    ChoiceListView *memoTable() const { return m_memos; }
    QPushButton *exportButton() const { return m_export; }

    // tapEdit: asks for the title of the chosen bookmark row (modal).
    void tapEdit();
    // Sets the title of bookmark row `row`; an empty title changes nothing.
    void setTitle(int row, const QString &title);
    // Chooses row `row` of the tab shown, as a click does.
    void choose(int row);
    // Writes the export to `path`: "markdown" or "json". False (with the
    // reason in `error`) when the file could not be written.
    bool exportTo(const QString &path, const QString &format, QString *error = nullptr) const;

signals:
    // A row was chosen: the reader shows its page.
    void recordChosen(const BookHighlightMemo &record);

private:
    void askExport(const QString &format);

    ReaderAnnotations m_rules;
    QTabWidget *m_tabs;
    ChoiceListView *m_bookmarks;
    ChoiceListView *m_highlights;
    ChoiceListView *m_memos;
    QPushButton *m_edit;
    QPushButton *m_export;
    AnnotationList m_list;
    qint64 m_bookID = -1;
    QString m_title;
};
