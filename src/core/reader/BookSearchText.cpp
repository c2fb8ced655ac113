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
    {
        QMutexLocker lock(&m_mutex);
        if (const auto it = m_texts.constFind(index); it != m_texts.cend())
            return *it;
    }
    auto text = std::make_shared<htmlSearchParser::ItemText>();
    if (index < 0 || index >= m_items.size()) {
        text->complete = false;
        text->error = QStringLiteral("no such spine item");
        return text;
    }
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
    return *m_texts.insert(index, std::move(text));
}
