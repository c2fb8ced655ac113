// What the reader's search pop-over does, without the pop-over: starts
// searches of the open book in the background, keeps the hits, the last
// term and the flags of the extra row ("More", "先頭から検索する"), makes the
// rows' texts and says what choosing a row does. Results and the last term
// stay for the life of the object (the reader keeps it between openings of
// the pop-over).
//
// Only the newest search sets the list: starting a search cancels the one
// running, and a result that arrives from an older search is dropped.
//
// Threads: create, call and destroy on one thread (the main thread); the
// scans run on this object's own workers and hand their results back to it.
// The destructor cancels a running scan and waits for it.
#pragma once

#include "PdfTextSearch.h"
#include "htmlSearchParser.h"

#include <QObject>
#include <QThreadPool>
#include <QVariantList>
#include <atomic>
#include <memory>

class BookSearchText;

class InBookSearch : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 10; // hits per EPUB search and per "More"
    static constexpr int kTitleLength = 35;
    static constexpr int kLocationLength = 18;
    static constexpr const char *kMoreText = "More";
    static constexpr const char *kFromFirstText = "先頭から検索する";

    explicit InBookSearch(std::shared_ptr<const BookSearchText> epub, QObject *parent = nullptr);
    explicit InBookSearch(std::shared_ptr<const PdfTextSearch> pdf, QObject *parent = nullptr);
    ~InBookSearch() override;

    bool isPdf() const { return m_pdf != nullptr; }

    // The reader's table of contents: EPUB top-level entries with "text";
    // PDF entries with "pageNumber" (from 1) and "title".
    void setToc(const QVariantList &toc) { m_toc = toc; }
    // The manifest id of the page shown; EPUB searches start there.
    void setCurrentManifestID(const QString &id) { m_currentManifestID = id; }
    const QString &currentManifestID() const { return m_currentManifestID; }

    // The search field's action: ignores an empty term and the term of the
    // last search; otherwise starts a search. True when one was started.
    bool updateSearch(const QString &term);
    // Starts an EPUB search: empties the list, shows the spinner row.
    void reloadSearchResult(const QString &term, bool fromFirst, int maxCount);

    int numberOfRows() const;
    bool isExtraRow(int row) const { return row >= 0 && row == hitCount() && row < numberOfRows(); }

    struct Row {
        QString title; // bold first line
        int markStart = -1; // the term in `title`, when marked
        int markLength = 0;
        QString detail; // second line (location, or PDF page text)
        int detailMarkStart = -1;
        int detailMarkLength = 0;
        bool extra = false;
        bool spinner = false; // extra row while searching
    };
    // The texts of a row; an empty row outside the list.
    Row row(int index) const;

    struct Choice {
        enum Kind { None, Searching, EpubHit, PdfHit } kind = None;
        QVariantMap hit; // EPUB result dictionary
        ::PdfHit pdf;
    };
    // Choosing a row: the extra row starts the rescan ("More" or from the
    // first item) and gives Searching; a hit sets nowSelectStr (EPUB) and is
    // given back for the reader to show.
    Choice choose(int index);

    const QVariantList &searchResultArray() const { return m_results; }
    const QList<PdfHit> &pdfResults() const { return m_pdfResults; }
    int hitCount() const { return int(isPdf() ? m_pdfResults.size() : m_results.size()); }
    const QString &lastSearchStr() const { return m_lastSearchStr; }
    const QString &nowSelectStr() const { return m_nowSelectStr; }
    // What the page selects when shown (a hit's chunk, or a term to mark).
    void setNowSelectStr(const QString &text) { m_nowSelectStr = text; }
    bool showIndicator() const { return m_showIndicator; }
    bool showMore() const { return m_showMore; }
    bool showFirst() const { return m_showFirst; }
    // A PDF that cannot be read; the list stays empty.
    const QString &errorString() const { return m_error; }

    // The row texts as they are described, for one EPUB hit: the chunk cut
    // to 35 characters, and the location line.
    static QString titleForText(const QString &text);
    static QString cutLocation(const QString &location);

signals:
    // The list or the flags changed: the table reloads.
    void resultsChanged();

private:
    void startEpub(const QString &term, bool fromFirst, int maxCount, const QString &startID);
    void startPdf(const QString &term);
    std::shared_ptr<std::atomic_bool> beginJob();
    QString locationForPage(int page) const;
    QString locationForPdf(const QString &label) const;

    std::shared_ptr<const BookSearchText> m_epub;
    std::shared_ptr<const PdfTextSearch> m_pdf;
    QVariantList m_toc;
    QString m_currentManifestID;

    QVariantList m_results;
    QList<PdfHit> m_pdfResults;
    QString m_lastSearchStr;
    QString m_nowSelectStr;
    QString m_error;
    bool m_searched = false;
    bool m_showIndicator = false;
    bool m_showMore = false;
    bool m_showFirst = false;
    // How the listed search started, so that "More" goes on with it.
    bool m_listFromFirst = false;
    QString m_listStartID;
    std::shared_ptr<const htmlSearchParser::Progress> m_progress;

    int m_generation = 0;
    std::shared_ptr<std::atomic_bool> m_cancel;
    QThreadPool m_pool;
};
