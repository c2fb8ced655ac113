// Finding a term in a PDF book: the text of every page (read once through
// Qt PDF and kept), searched case-sensitively from the first page on.
//
// Threads: any; find() may run on a worker thread while the reader shows
// the same file (this object opens the file on its own).
#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>

struct PdfHit {
    int page = 0; // from 0
    int start = 0; // offset of the hit in the page's text (L)
    int length = 0;
    QString label; // the page label, or the page number from 1 when none
    // The page text from 30 characters before the hit to 40 after it (or the
    // page's ends), and where the hit lies in it.
    QString context;
    int contextStart = 0;
};

class PdfTextSearch
{
public:
    static constexpr int kMaxHits = 100;
    static constexpr int kBefore = 30;
    static constexpr int kAfter = 40;

    explicit PdfTextSearch(QString path);

    // At most `maxHits` occurrences of `term` (case-sensitive) in page order;
    // absent when the file cannot be read as a PDF or `cancel` was set.
    std::optional<QList<PdfHit>> find(
        const QString &term, int maxHits = kMaxHits, const std::atomic_bool *cancel = nullptr) const;

    // The text and label of every page; false when the file cannot be read
    // or `cancel` was set.
    bool load(const std::atomic_bool *cancel = nullptr) const;
    int pageCount() const;
    QString pageText(int page) const;
    // The page's label, or its number from 1 when it has none.
    QString pageLabel(int page) const;

    const QString &path() const { return m_path; }

private:
    QString m_path;
    mutable QMutex m_mutex;
    mutable bool m_loaded = false;
    mutable QStringList m_texts;
    mutable QStringList m_labels;
};
