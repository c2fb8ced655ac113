#include "htmlSearchParser.h"

#include "BookSearchText.h"
#include "XhtmlTermFilter.h"

#include <QStringMatcher>
#include <thread>

namespace
{

// Reads the spine items after the one being scanned on a second thread (and
// parses those that may hold the term), so that reading and parsing the
// next files overlaps the scan; stops (and is joined) when the scan returns.
class ReadAhead
{
public:
    ReadAhead(
        const BookSearchText &book, int from, const XhtmlTermFilter &filter, const std::atomic_bool *cancel)
    {
        if (from < 1 || from >= book.items().size())
            return;
        m_thread = std::thread([this, &book, from, &filter, cancel] {
            for (int k = from; k < book.items().size(); ++k) {
                if (m_stop.load(std::memory_order_relaxed)
                    || (cancel && cancel->load(std::memory_order_relaxed)))
                    return;
                book.readAhead(k, &filter);
            }
        });
    }
    ~ReadAhead()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::atomic_bool m_stop { false };
    std::thread m_thread;
};

} // namespace

bool htmlSearchParser::parseXML(const QString &, bool, const QString &searchString,
    const BookSearchText &book, const QString &currentManifestID, bool searchFromFirstPage, int maxCount,
    const Progress *resume)
{
    Progress &p = m_progress;
    if (resume && resume->continues(searchString, currentManifestID, searchFromFirstPage, maxCount)) {
        p = *resume;
    } else {
        p = Progress {};
        p.term = searchString;
        p.currentManifestID = currentManifestID;
        p.fromFirst = searchFromFirstPage;
    }
    m_haveMore = false;
    m_changeFromFirst = !searchFromFirstPage;
    if (searchString.isEmpty()) {
        p.finished = true;
        return true;
    }

    const QList<BookSearchText::Item> &items = book.items();
    int first = p.item;
    if (!p.fromFirst && !p.started) {
        first = int(items.size());
        for (int i = 0; i < items.size(); ++i)
            if (items.at(i).id == currentManifestID) {
                first = i;
                break;
            }
    }
    // Files whose bytes rule the term out are not parsed: they hold no hit.
    const XhtmlTermFilter filter(searchString);
    // The same comparison as QString::indexOf's, with its tables made once.
    const QStringMatcher matcher(searchString, Qt::CaseInsensitive);
    const ReadAhead readAhead(book, first + 1, filter, m_cancel);
    for (; p.item < items.size(); ++p.item) {
        if (cancelled())
            return false;
        const BookSearchText::Item &item = items.at(p.item);
        if (!p.midItem) {
            if (!p.fromFirst && !p.started) {
                if (item.id != currentManifestID)
                    continue;
                p.started = true;
            }
            if (p.hits.size() >= maxCount) {
                m_haveMore = true;
                m_changeFromFirst = false;
                return true;
            }
            p.midItem = true;
            p.chunk = 0;
            p.offset = 0;
            p.itemHits = 0;
        }
        const auto text = book.textIfMayHold(p.item, filter);
        for (; text && p.chunk < text->chunks.size(); ++p.chunk, p.offset = 0) {
            const QString &chunk = text->chunks.at(p.chunk);
            for (qsizetype at = matcher.indexIn(chunk, p.offset); at >= 0;
                 at = matcher.indexIn(chunk, at + 1)) {
                if (p.hits.size() >= maxCount) {
                    // Nothing further in this item can change the outcome:
                    // the next item would find the list full and stop.
                    p.offset = int(at);
                    m_haveMore = true;
                    if (p.item + 1 < items.size())
                        m_changeFromFirst = false;
                    return true;
                }
                p.hits.append(QVariantMap {
                    { QStringLiteral("id"), item.id },
                    { QStringLiteral("text"), chunk },
                    { QStringLiteral("page"), p.item + 1 },
                    { QStringLiteral("location"), int(at) },
                    { QStringLiteral("no"), ++p.itemHits },
                });
            }
        }
        p.midItem = false;
    }
    p.finished = true;
    return true;
}
