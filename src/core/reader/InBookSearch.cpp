#include "InBookSearch.h"

#include "BookSearchText.h"

#include <QPointer>

InBookSearch::InBookSearch(std::shared_ptr<const BookSearchText> epub, QObject *parent)
    : QObject(parent)
    , m_epub(std::move(epub))
{
    // A cancelled scan may still be winding down while the next one starts.
    m_pool.setMaxThreadCount(2);
}

InBookSearch::InBookSearch(std::shared_ptr<const PdfTextSearch> pdf, QObject *parent)
    : QObject(parent)
    , m_pdf(std::move(pdf))
{
    m_pool.setMaxThreadCount(2);
}

InBookSearch::~InBookSearch()
{
    if (m_cancel)
        m_cancel->store(true);
    m_pool.waitForDone();
}

bool InBookSearch::updateSearch(const QString &term)
{
    if (term.isEmpty() || term == m_lastSearchStr)
        return false;
    if (isPdf())
        startPdf(term);
    else
        reloadSearchResult(term, false, kPageSize);
    return true;
}

std::shared_ptr<std::atomic_bool> InBookSearch::beginJob()
{
    if (m_cancel)
        m_cancel->store(true);
    m_cancel = std::make_shared<std::atomic_bool>(false);
    ++m_generation;
    m_searched = true;
    m_error.clear();
    m_showFirst = false;
    m_showMore = false;
    m_showIndicator = true;
    return m_cancel;
}

void InBookSearch::reloadSearchResult(const QString &term, bool fromFirst, int maxCount)
{
    if (isPdf())
        startPdf(term);
    else
        startEpub(term, fromFirst, maxCount, m_currentManifestID);
}

void InBookSearch::startEpub(const QString &term, bool fromFirst, int maxCount, const QString &startID)
{
    const auto cancel = beginJob();
    const int generation = m_generation;
    m_lastSearchStr = term;
    m_listFromFirst = fromFirst;
    m_listStartID = startID;
    m_results.clear();
    emit resultsChanged();

    auto resume = m_progress;
    QPointer<InBookSearch> self(this);
    m_pool.start([self, this, cancel, generation, term, fromFirst, maxCount, startID, resume, epub = m_epub] {
        htmlSearchParser parser;
        parser.setCancelFlag(cancel.get());
        if (!parser.parseXML(QString(), true, term, *epub, startID, fromFirst, maxCount, resume.get()))
            return;
        auto progress = std::make_shared<const htmlSearchParser::Progress>(parser.progress());
        const bool haveMore = parser.haveMore();
        const bool changeFromFirst = parser.changeFromFirst();
        QMetaObject::invokeMethod(
            self.data(),
            [this, generation, progress, haveMore, changeFromFirst] {
                if (generation != m_generation)
                    return; // a newer search owns the list
                m_results = progress->hits;
                m_progress = progress;
                m_showMore = haveMore;
                m_showFirst = changeFromFirst;
                m_showIndicator = false;
                emit resultsChanged();
            },
            Qt::QueuedConnection);
    });
}

void InBookSearch::startPdf(const QString &term)
{
    const auto cancel = beginJob();
    const int generation = m_generation;
    m_lastSearchStr = term;
    m_pdfResults.clear();
    emit resultsChanged();
    QPointer<InBookSearch> self(this);
    m_pool.start([self, this, cancel, generation, term, pdf = m_pdf] {
        const auto hits = pdf->find(term, PdfTextSearch::kMaxHits, cancel.get());
        if (cancel->load())
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [this, generation, hits] {
                if (generation != m_generation)
                    return;
                m_pdfResults = hits.value_or(QList<PdfHit> {});
                if (!hits)
                    m_error = QStringLiteral("PDFを読み込めません");
                m_showIndicator = false;
                emit resultsChanged();
            },
            Qt::QueuedConnection);
    });
}

int InBookSearch::numberOfRows() const
{
    if (!m_searched)
        return 0;
    return hitCount() + (m_showIndicator || m_showMore || m_showFirst ? 1 : 0);
}

QString InBookSearch::titleForText(const QString &text)
{
    return text.size() > kTitleLength ? text.left(kTitleLength) + QStringLiteral("...") : text;
}

QString InBookSearch::cutLocation(const QString &location)
{
    return location.size() > kLocationLength ? location.left(kLocationLength) + QStringLiteral("...")
                                             : location;
}

QString InBookSearch::locationForPage(int page) const
{
    QString line = u'\n' + QString::number(page) + QStringLiteral(" - ");
    if (page >= 1 && page <= m_toc.size())
        line += m_toc.at(page - 1).toMap().value(QStringLiteral("text")).toString();
    // The line feed that begins the line counts towards the cut.
    return cutLocation(line).mid(1);
}

QString InBookSearch::locationForPdf(const QString &label) const
{
    bool ok = false;
    const int number = label.toInt(&ok);
    QString line = label;
    if (ok) {
        for (const QVariant &entry : m_toc) {
            const QVariantMap map = entry.toMap();
            if (map.value(QStringLiteral("pageNumber")).toInt() == number) {
                line = label + QStringLiteral(" - ") + map.value(QStringLiteral("title")).toString();
                break;
            }
        }
    }
    return cutLocation(line);
}

InBookSearch::Row InBookSearch::row(int index) const
{
    Row r;
    if (index < 0 || index >= numberOfRows())
        return r;
    if (isExtraRow(index)) {
        r.extra = true;
        r.spinner = m_showIndicator;
        r.title = m_showIndicator ? QStringLiteral(" ")
            : m_showFirst         ? QString::fromUtf8(kFromFirstText)
                                  : QString::fromLatin1(kMoreText);
        return r;
    }
    if (isPdf()) {
        const PdfHit &hit = m_pdfResults.at(index);
        r.title = locationForPdf(hit.label);
        r.detail = hit.context;
        r.detailMarkStart = hit.contextStart;
        r.detailMarkLength = hit.length;
        return r;
    }
    const QVariantMap hit = m_results.at(index).toMap();
    const QString text = hit.value(QStringLiteral("text")).toString();
    const int location = hit.value(QStringLiteral("location")).toInt();
    const int length = int(m_lastSearchStr.size());
    if (location + length <= kTitleLength) {
        r.title = titleForText(text);
        r.markStart = location;
        r.markLength = length;
    } else {
        // The hit lies beyond the first 35 characters: show the words
        // around it instead, so that the row shows what was found.
        const int lead = 12;
        const int from = std::max(0, location - lead);
        const int take = std::max(kTitleLength, location - from + length + 8);
        r.title = QStringLiteral("...") + text.mid(from, take);
        if (from + take < text.size())
            r.title += QStringLiteral("...");
        r.markStart = 3 + location - from;
        r.markLength = length;
    }
    r.detail = locationForPage(hit.value(QStringLiteral("page")).toInt());
    return r;
}

InBookSearch::Choice InBookSearch::choose(int index)
{
    Choice c;
    if (index < 0 || index >= numberOfRows())
        return c;
    if (isExtraRow(index)) {
        if (m_showIndicator || isPdf())
            return c;
        const int hits = hitCount();
        if (m_showFirst) {
            startEpub(m_lastSearchStr, true, (hits / kPageSize) * kPageSize + kPageSize, m_listStartID);
        } else {
            // "More" goes on with the search that is listed, from where it
            // started, even when the reader has turned pages since.
            startEpub(m_lastSearchStr, m_listFromFirst, hits + kPageSize, m_listStartID);
        }
        c.kind = Choice::Searching;
        return c;
    }
    if (isPdf()) {
        c.kind = Choice::PdfHit;
        c.pdf = m_pdfResults.at(index);
        return c;
    }
    c.kind = Choice::EpubHit;
    c.hit = m_results.at(index).toMap();
    m_nowSelectStr = c.hit.value(QStringLiteral("text")).toString();
    return c;
}
