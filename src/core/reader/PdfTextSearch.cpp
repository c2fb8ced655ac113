#include "PdfTextSearch.h"

#include <QPdfDocument>
#include <QPdfSelection>

PdfTextSearch::PdfTextSearch(QString path)
    : m_path(std::move(path))
{
}

bool PdfTextSearch::load(const std::atomic_bool *cancel) const
{
    QMutexLocker lock(&m_mutex);
    if (m_loaded)
        return true;
    QPdfDocument document;
    if (document.load(m_path) != QPdfDocument::Error::None)
        return false;
    QStringList texts;
    QStringList labels;
    for (int page = 0; page < document.pageCount(); ++page) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return false;
        texts.append(document.getAllText(page).text());
        const QString label = document.pageLabel(page);
        labels.append(label.isEmpty() ? QString::number(page + 1) : label);
    }
    m_texts = texts;
    m_labels = labels;
    m_loaded = true;
    return true;
}

int PdfTextSearch::pageCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_texts.size());
}

QString PdfTextSearch::pageText(int page) const
{
    QMutexLocker lock(&m_mutex);
    return m_texts.value(page);
}

QString PdfTextSearch::pageLabel(int page) const
{
    QMutexLocker lock(&m_mutex);
    return m_labels.value(page);
}

std::optional<QList<PdfHit>> PdfTextSearch::find(
    const QString &term, int maxHits, const std::atomic_bool *cancel) const
{
    if (!load(cancel))
        return std::nullopt;
    QList<PdfHit> hits;
    if (term.isEmpty())
        return hits;
    QMutexLocker lock(&m_mutex);
    for (int page = 0; page < m_texts.size() && hits.size() < maxHits; ++page) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return std::nullopt;
        const QString &text = m_texts.at(page);
        for (qsizetype at = text.indexOf(term, 0, Qt::CaseSensitive); at >= 0 && hits.size() < maxHits;
             at = text.indexOf(term, at + term.size(), Qt::CaseSensitive)) {
            const qsizetype from = std::max<qsizetype>(0, at - kBefore);
            const qsizetype to = std::min<qsizetype>(text.size(), at + kAfter);
            hits.append({ page, int(at), int(term.size()), m_labels.at(page), text.mid(from, to - from),
                int(at - from) });
        }
    }
    return hits;
}
