#include "EPUBManager.h"

#include "EPUBURLProtcol.h"
#include "XML2DicParser.h"
#include "util/ArrayHelpers.h"
#include "util/DictionaryHelpers.h"

namespace {

bool isMap(const QVariant &v)
{
    return v.metaType().id() == QMetaType::QVariantMap;
}

// The text of an element dictionary: its string "value", if any.
std::optional<QString> textOf(const QVariant &element)
{
    if (!isMap(element))
        return std::nullopt;
    return pathToString(element.toMap(), QStringLiteral("value"));
}

QUrl relativeUrl(const QString &href)
{
    return QUrl(href, QUrl::TolerantMode);
}

} // namespace

EPUBManager::EPUBManager(const QUrl &rootURL, const EPUBURLProtcol *protocol)
    : m_protocol(protocol ? protocol : &EPUBURLProtcol::shared())
    , m_rootURL(rootURL)
{
    readPackage();
}

std::optional<QByteArray> EPUBManager::load(const QUrl &url) const
{
    if (!url.isValid())
        return std::nullopt;
    return m_protocol->dataForUrl(url);
}

void EPUBManager::readPackage()
{
    const auto container = XML2DicParser::parse(
        load(m_rootURL.resolved(QUrl(QStringLiteral("META-INF/container.xml")))));
    if (!container)
        return;
    const auto fullPath = pathToString(*container, QStringLiteral("/container/rootfiles/rootfile/full-path"));
    if (!fullPath)
        return;

    const qsizetype slash = fullPath->lastIndexOf(u'/');
    const QString folder = slash >= 0 ? fullPath->left(slash) + u'/' : QStringLiteral("/");
    m_contentURL = m_rootURL.resolved(relativeUrl(folder));

    const QVariantMap opf = XML2DicParser::parse(load(m_rootURL.resolved(relativeUrl(*fullPath))))
                                .value_or(QVariantMap());

    // Metadata: the "dc:" elements that occur once and have text.
    if (const auto metadata = pathToDictionary(opf, QStringLiteral("/package/metadata"))) {
        for (auto it = metadata->cbegin(); it != metadata->cend(); ++it) {
            if (!it.key().startsWith(QStringLiteral("dc:")))
                continue;
            if (const auto text = textOf(it.value()))
                m_metadata.insert(it.key(), *text);
        }
    }

    const QVariantList items = pathToArray(opf, QStringLiteral("/package/manifest/item")).value_or(QVariantList());
    for (const QVariant &item : items) {
        if (!isMap(item))
            continue;
        if (const auto id = stringForKey(item.toMap(), QStringLiteral("id")))
            m_manifest.insert(*id, item);
    }

    const QVariantList itemrefs = pathToArray(opf, QStringLiteral("/package/spine/itemref")).value_or(QVariantList());
    for (const QVariant &ref : itemrefs) {
        if (!isMap(ref))
            continue;
        const auto idref = stringForKey(ref.toMap(), QStringLiteral("idref"));
        if (idref && isMap(m_manifest.value(*idref)))
            m_spine.append(m_manifest.value(*idref));
    }

    const QVariantList metas = pathToArray(opf, QStringLiteral("/package/metadata/meta")).value_or(QVariantList());
    for (const QVariant &meta : metas) {
        if (!isMap(meta))
            continue;
        const QVariantMap m = meta.toMap();
        const auto name = stringForKey(m, QStringLiteral("name"));
        const auto content = stringForKey(m, QStringLiteral("content"));
        if (!name || !content)
            continue;
        if (*name == u"cover") {
            const auto item = dictionaryForKey(m_manifest, *content);
            m_coverPath = item ? stringForKey(*item, QStringLiteral("href")) : std::nullopt;
        } else if (*name == u"print") {
            m_metadata.insert(QStringLiteral("print"), *content);
        }
    }

    if (const auto tocId = pathToString(opf, QStringLiteral("/package/spine/toc"))) {
        const auto item = dictionaryForKey(m_manifest, *tocId);
        const auto href = item ? stringForKey(*item, QStringLiteral("href")) : std::nullopt;
        const auto ncx = XML2DicParser::parse(href ? dataForContent(*href) : std::nullopt);
        if (ncx) {
            const auto navPoints = pathToArray(*ncx, QStringLiteral("/ncx/navMap/navPoint"));
            m_toc = navPoints ? std::optional(nav2toc(*navPoints)) : std::nullopt;
        }
        return;
    }

    // EPUB 3 books without an NCX: the navigation document's "toc" list.
    for (auto it = m_manifest.cbegin(); it != m_manifest.cend(); ++it) {
        const QVariantMap item = it.value().toMap();
        const QStringList properties = stringForKey(item, QStringLiteral("properties"))
                                           .value_or(QString())
                                           .split(u' ', Qt::SkipEmptyParts);
        const auto href = stringForKey(item, QStringLiteral("href"));
        if (properties.contains(QStringLiteral("nav")) && href) {
            readNavDocument(*href);
            return;
        }
    }
}

QVariantList EPUBManager::nav2toc(const QVariantList &navPoints)
{
    QVariantList entries;
    for (const QVariant &point : navPoints) {
        if (!isMap(point))
            continue;
        const QVariantMap p = point.toMap();
        const auto id = p.value(QStringLiteral("id"));
        if (id.metaType().id() != QMetaType::QString)
            continue;
        QVariantMap entry{{QStringLiteral("id"), id}};
        if (const auto content = dictionaryForKey(p, QStringLiteral("content"))) {
            if (const auto src = pathToString(*content, QStringLiteral("src")))
                entry.insert(QStringLiteral("content"), *src);
        }
        if (const auto nested = farrayForKey(p, QStringLiteral("navPoint")))
            entry.insert(QStringLiteral("child"), nav2toc(*nested));
        if (const auto label = dictionaryForKey(p, QStringLiteral("navLabel"))) {
            for (auto it = label->cbegin(); it != label->cend(); ++it)
                if (const auto text = textOf(it.value()))
                    entry.insert(it.key(), *text);
        }
        entries.append(entry);
    }
    return entries;
}

namespace {

// Depth-first search for the <nav> whose epub:type names "toc".
std::optional<QVariantMap> findTocNav(const QVariant &node, int depth = 0)
{
    if (depth > 64)
        return std::nullopt;
    if (node.metaType().id() == QMetaType::QVariantList) {
        for (const QVariant &v : node.toList())
            if (auto found = findTocNav(v, depth + 1))
                return found;
        return std::nullopt;
    }
    if (!isMap(node))
        return std::nullopt;
    const QVariantMap m = node.toMap();
    for (auto it = m.cbegin(); it != m.cend(); ++it) {
        if (it.key() == u"nav" || it.key().endsWith(QStringLiteral(":nav"))) {
            const QVariantList navs = it.value().metaType().id() == QMetaType::QVariantList
                                          ? it.value().toList()
                                          : QVariantList{it.value()};
            for (const QVariant &nav : navs) {
                if (!isMap(nav))
                    continue;
                const QVariantMap n = nav.toMap();
                const QString type = stringForKey(n, QStringLiteral("epub:type")).value_or(QString());
                if (type.split(u' ', Qt::SkipEmptyParts).contains(QStringLiteral("toc")))
                    return n;
            }
        }
        if (it.key() != u"value")
            if (auto found = findTocNav(it.value(), depth + 1))
                return found;
    }
    return std::nullopt;
}

// The text of a link: its own text, else that of a <span> inside.
QString linkText(const QVariantMap &a)
{
    if (const auto text = pathToString(a, QStringLiteral("value")))
        return *text;
    if (const auto span = pathToDictionary(a, QStringLiteral("span")))
        return pathToString(*span, QStringLiteral("value")).value_or(QString());
    return {};
}

} // namespace

void EPUBManager::readNavDocument(const QString &href)
{
    const QUrl navUrl = urlForContent(href);
    const auto doc = XML2DicParser::parse(load(navUrl));
    if (!doc)
        return;
    const auto nav = findTocNav(*doc);
    if (!nav)
        return;

    // Hrefs in the navigation document are relative to it; the entries keep
    // them relative to the content folder, as NCX entries are.
    const QString contentPath = m_contentURL.path(QUrl::FullyDecoded);
    int counter = 0;
    std::function<QVariantList(const QVariantMap &)> convert = [&](const QVariantMap &ol) {
        QVariantList entries;
        for (const QVariant &li : pathToArray(ol, QStringLiteral("li")).value_or(QVariantList())) {
            if (!isMap(li))
                continue;
            const QVariantMap l = li.toMap();
            const auto a = pathToDictionary(l, QStringLiteral("a"));
            const auto span = pathToDictionary(l, QStringLiteral("span"));
            ++counter;
            QVariantMap entry;
            entry.insert(QStringLiteral("id"), stringForKey(l, QStringLiteral("id"))
                                                   .value_or(QStringLiteral("nav-%1").arg(counter)));
            if (a) {
                if (const auto target = stringForKey(*a, QStringLiteral("href"))) {
                    const QUrl absolute = navUrl.resolved(relativeUrl(*target));
                    QString path = absolute.path(QUrl::FullyDecoded);
                    if (path.startsWith(contentPath))
                        path = path.mid(contentPath.size());
                    if (absolute.hasFragment())
                        path += u'#' + absolute.fragment(QUrl::FullyDecoded);
                    entry.insert(QStringLiteral("content"), path);
                }
                entry.insert(QStringLiteral("text"), linkText(*a));
            } else if (span) {
                entry.insert(QStringLiteral("text"), pathToString(*span, QStringLiteral("value")).value_or(QString()));
            }
            if (const auto nested = pathToDictionary(l, QStringLiteral("ol")))
                entry.insert(QStringLiteral("child"), convert(*nested));
            entries.append(entry);
        }
        return entries;
    };
    if (const auto ol = pathToDictionary(*nav, QStringLiteral("ol")))
        m_toc = convert(*ol);
}

QImage EPUBManager::coverImage()
{
    if (!m_coverPath)
        return {};
    if (m_cover.isNull()) {
        if (const auto data = dataForContent(*m_coverPath))
            m_cover = QImage::fromData(*data);
    }
    return m_cover;
}

QUrl EPUBManager::urlForContent(const QString &href) const
{
    if (href.isEmpty() || !m_contentURL.isValid())
        return {};
    return m_contentURL.resolved(relativeUrl(href));
}

std::optional<QByteArray> EPUBManager::dataForContent(const QString &href) const
{
    return load(urlForContent(href));
}
