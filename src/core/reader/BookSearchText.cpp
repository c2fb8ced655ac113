#include "BookSearchText.h"

#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/util/Logging.h"

BookSearchText::BookSearchText(const EPUBManager &epub, const EPUBURLProtcol *protocol)
{
    const EPUBURLProtcol *p = protocol ? protocol : &EPUBURLProtcol::shared();
    m_loader = [p](const QUrl &url) { return p->dataForUrl(url); };
    for (const QVariant &entry : epub.spine()) {
        const QVariantMap item = entry.toMap();
        const QString href = item.value(QStringLiteral("href")).toString();
        m_items.append({ item.value(QStringLiteral("id")).toString(), href, epub.urlForContent(href) });
    }
}

BookSearchText::BookSearchText(QList<Item> items, Loader loader)
    : m_items(std::move(items))
    , m_loader(std::move(loader))
{
}

std::shared_ptr<const htmlSearchParser::ItemText> BookSearchText::text(int index) const
{
    if (index < 0 || index >= m_items.size()) {
        auto none = std::make_shared<htmlSearchParser::ItemText>();
        none->complete = false;
        none->error = QStringLiteral("no such spine item");
        return none;
    }
    // How far past a file another thread is reading this one reads on.
    constexpr int kHelpAhead = 8;
    QMutexLocker lock(&m_mutex);
    for (;;) {
        if (const auto it = m_texts.constFind(index); it != m_texts.cend())
            return *it;
        if (!m_loading.contains(index)) {
            m_loading.insert(index);
            lock.unlock();
            return load(index);
        }
        int ahead = -1;
        for (int k = index + 1; k < m_items.size() && k <= index + kHelpAhead && ahead < 0; ++k)
            if (!m_texts.contains(k) && !m_loading.contains(k))
                ahead = k;
        if (ahead < 0) {
            m_loaded.wait(&m_mutex);
            continue;
        }
        m_loading.insert(ahead);
        lock.unlock();
        load(ahead);
        lock.relock();
    }
}

bool BookSearchText::readAhead(int index) const
{
    if (index < 0 || index >= m_items.size())
        return false;
    {
        QMutexLocker lock(&m_mutex);
        if (m_texts.contains(index) || m_loading.contains(index))
            return false;
        m_loading.insert(index);
    }
    load(index);
    return true;
}

// Reads and parses item `index`, which the caller has marked as loading.
std::shared_ptr<const htmlSearchParser::ItemText> BookSearchText::load(int index) const
{
    auto text = std::make_shared<htmlSearchParser::ItemText>();
    const Item &item = m_items.at(index);
    const std::optional<QByteArray> bytes = item.url.isValid() ? m_loader(item.url) : std::nullopt;
    if (bytes) {
        *text = htmlSearchParser::readItem(*bytes);
    } else {
        text->complete = false;
        text->error = QStringLiteral("%1 cannot be read").arg(item.href);
    }
    if (!text->complete)
        qCInfo(lcContent).noquote() << QStringLiteral("parseErrorOccurred:%1").arg(text->error);
    QMutexLocker lock(&m_mutex);
    m_texts.insert(index, text);
    m_loading.remove(index);
    m_loaded.wakeAll();
    return text;
}
