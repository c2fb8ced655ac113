#include "EPUBManager.h"

#include "EPUBURLProtcol.h"
#include "XML2DicParser.h"
#include "ZipArchive.h"
#include "core/util/ArrayHelpers.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/Logging.h"

#include <QFileInfo>
#include <libxml/parser.h>
#include <vector>

namespace
{

const QString kContainerNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:container");
const QString kOpfNs = QStringLiteral("http://www.idpf.org/2007/opf");
const QString kDcNs = QStringLiteral("http://purl.org/dc/elements/1.1/");
const QString kNcxNs = QStringLiteral("http://www.daisy.org/z3986/2005/ncx/");
const QString kXhtmlNs = QStringLiteral("http://www.w3.org/1999/xhtml");
const QString kOpsNs = QStringLiteral("http://www.idpf.org/2007/ops");

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

// Prefix ("" for the default namespace) -> namespace name, as declared on an
// element and its ancestors.
using Namespaces = QHash<QString, QString>;
// Namespace name -> what an element's key becomes: the prefix to put before
// its local name ("" or "dc:").
using KeyPrefixes = QHash<QString, QString>;

Namespaces inScope(const QVariantMap &element, Namespaces scope)
{
    for (auto it = element.cbegin(); it != element.cend(); ++it) {
        if (!isStringVariant(it.value()))
            continue;
        if (it.key() == u"xmlns")
            scope.insert(QString(), it.value().toString());
        else if (it.key().startsWith(QStringLiteral("xmlns:")))
            scope.insert(it.key().mid(6), it.value().toString());
    }
    return scope;
}

// The key an element written as `name` gets: the local name behind the
// prefix given for its namespace. Elements outside the given namespaces,
// and prefixes that nothing declares, keep their name as written.
QString keyFor(const QString &name, const Namespaces &scope, const KeyPrefixes &prefixes)
{
    const qsizetype colon = name.indexOf(u':');
    const QString prefix = colon >= 0 ? name.left(colon) : QString();
    const auto ns = scope.constFind(prefix);
    if (ns == scope.cend())
        return name;
    const auto renamed = prefixes.constFind(*ns);
    return renamed == prefixes.cend() ? name : *renamed + name.mid(colon + 1);
}

void insertChild(QVariantMap &element, const QString &key, const QVariant &value)
{
    auto it = element.find(key);
    if (it == element.end())
        element.insert(key, value);
    else if (it->metaType().id() == QMetaType::QVariantList)
        // In place: copying the list out and back for every element made a
        // manifest of n items take n² steps.
        static_cast<QVariantList *>(it->data())->append(value);
    else
        *it = QVariantList { *it, value };
}

// An element dictionary whose child elements in the given namespaces are
// keyed by their local names (with the prefix given for the namespace),
// whatever prefix the document chose: <opf:manifest> and <manifest
// xmlns="...opf"> both become "manifest", <dcterms:title> with dcterms bound
// to Dublin Core becomes "dc:title". Elements of one name that meet under one
// key form a list, as repeated elements do. Dictionaries from XML2DicParser
// nest no deeper than its kMaxDepth.
QVariantMap withLocalNames(
    const QVariantMap &element, const Namespaces &scope, const KeyPrefixes &prefixes, int depth = 0)
{
    if (depth > XML2DicParser::kMaxDepth)
        return {};
    QVariantMap out;
    for (auto it = element.cbegin(); it != element.cend(); ++it) {
        if (isStringVariant(it.value())) {
            insertChild(out, it.key(), it.value());
            continue;
        }
        const QVariantList items = it.value().metaType().id() == QMetaType::QVariantList
            ? it.value().toList()
            : QVariantList { it.value() };
        for (const QVariant &item : items) {
            if (!isMap(item)) {
                insertChild(out, it.key(), item);
                continue;
            }
            const QVariantMap child = item.toMap();
            const Namespaces childScope = inScope(child, scope);
            insertChild(out, keyFor(it.key(), childScope, prefixes),
                withLocalNames(child, childScope, prefixes, depth + 1));
        }
    }
    return out;
}

std::optional<QVariantMap> parseWithLocalNames(
    const std::optional<QByteArray> &bytes, const KeyPrefixes &prefixes)
{
    const auto document = XML2DicParser::parse(bytes);
    if (!document)
        return std::nullopt;
    return withLocalNames(*document, {}, prefixes);
}

} // namespace

EPUBManager::EPUBManager(const QUrl &rootURL, const EPUBURLProtcol *protocol)
    : m_protocol(protocol ? *protocol : EPUBURLProtcol::forDataFolder())
    , m_rootURL(rootURL)
{
    readPackage();
}

std::optional<QByteArray> EPUBManager::load(const QUrl &url) const
{
    if (!url.isValid())
        return std::nullopt;
    return m_protocol.dataForUrl(url);
}

void EPUBManager::readPackage()
{
    const auto container
        = parseWithLocalNames(load(m_rootURL.resolved(QUrl(QStringLiteral("META-INF/container.xml")))),
            { { kContainerNs, QString() } });
    if (!container)
        return;
    const auto fullPath = packagePath(*container);
    if (!fullPath)
        return;

    const qsizetype slash = fullPath->lastIndexOf(u'/');
    const QString folder = slash >= 0 ? fullPath->left(slash) + u'/' : QStringLiteral("/");
    m_contentURL = m_rootURL.resolved(relativeUrl(folder));

    // Elements of the package and of Dublin Core are matched by namespace and
    // local name; Dublin Core ones keep the "dc:" names the rest of the
    // program reads, whatever prefix the book uses.
    const QVariantMap opf = parseWithLocalNames(load(m_rootURL.resolved(relativeUrl(*fullPath))),
        { { kOpfNs, QString() }, { kDcNs, QStringLiteral("dc:") } })
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

    const QVariantList items
        = pathToArray(opf, QStringLiteral("/package/manifest/item")).value_or(QVariantList());
    for (const QVariant &item : items) {
        if (!isMap(item))
            continue;
        if (const auto id = stringForKey(item.toMap(), QStringLiteral("id")))
            m_manifest.insert(*id, item);
    }

    const QVariantList itemrefs
        = pathToArray(opf, QStringLiteral("/package/spine/itemref")).value_or(QVariantList());
    for (const QVariant &ref : itemrefs) {
        if (!isMap(ref))
            continue;
        const auto idref = stringForKey(ref.toMap(), QStringLiteral("idref"));
        if (idref && isMap(m_manifest.value(*idref)))
            m_spine.append(m_manifest.value(*idref));
    }

    const QVariantList metas
        = pathToArray(opf, QStringLiteral("/package/metadata/meta")).value_or(QVariantList());
    bool coverMeta = false;
    for (const QVariant &meta : metas) {
        if (!isMap(meta))
            continue;
        const QVariantMap m = meta.toMap();
        const auto name = stringForKey(m, QStringLiteral("name"));
        const auto content = stringForKey(m, QStringLiteral("content"));
        if (stringForKey(m, QStringLiteral("property")).value_or(QString()) == u"primary-writing-mode")
            m_primaryWritingMode = textOf(meta).value_or(QString()).trimmed();
        if (!name || !content)
            continue;
        if (*name == u"cover") {
            // A meta that names no manifest item (or one without a
            // location) says nothing: the manifest's mark may still tell.
            const auto item = dictionaryForKey(m_manifest, *content);
            const auto href = item ? stringForKey(*item, QStringLiteral("href")) : std::nullopt;
            if (href && !href->isEmpty()) {
                m_coverPath = href;
                coverMeta = true;
            }
        } else if (*name == u"print") {
            m_metadata.insert(QStringLiteral("print"), *content);
        } else if (*name == u"primary-writing-mode") {
            m_primaryWritingMode = content->trimmed();
        }
    }
    // EPUB 3 books may mark the cover only in the manifest.
    if (!coverMeta) {
        if (const auto href = manifestHrefWithProperty(QStringLiteral("cover-image")))
            m_coverPath = href;
    }

    m_pageProgression = pathToString(opf, QStringLiteral("/package/spine/page-progression-direction"))
                            .value_or(QString())
                            .trimmed();

    if (const auto tocId = pathToString(opf, QStringLiteral("/package/spine/toc"))) {
        const auto item = dictionaryForKey(m_manifest, *tocId);
        const auto href = item ? stringForKey(*item, QStringLiteral("href")) : std::nullopt;
        const auto ncx
            = parseWithLocalNames(href ? dataForContent(*href) : std::nullopt, { { kNcxNs, QString() } });
        if (ncx) {
            const auto navPoints = pathToArray(*ncx, QStringLiteral("/ncx/navMap/navPoint"));
            m_toc = navPoints ? std::optional(nav2toc(*navPoints)) : std::nullopt;
        }
    }

    // EPUB 3 books without an NCX, or whose NCX gives no entries: the
    // navigation document's "toc" list.
    if (!m_toc || m_toc->isEmpty()) {
        if (const auto href = manifestHrefWithProperty(QStringLiteral("nav")))
            readNavDocument(*href);
    }
    if (m_spine.isEmpty())
        qCWarning(lcContent) << "no spine in the package of" << m_rootURL.toString();
}

std::optional<QString> EPUBManager::whyUnreadable(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("no such file");
    if (!ZipArchive::open(info.absoluteFilePath()))
        return QStringLiteral("not a zip archive");
    QStringList errors;
    std::optional<QString> reason;
    {
        // The documents' errors are collected here, so that a book with an
        // unreadable package is refused, and passed on below.
        XML2DicParser::ErrorCollector collector;
        const EPUBURLProtcol protocol(info.absolutePath(), QString());
        const EPUBManager epub(BookUrl::rootUrl(info.fileName()), &protocol);
        errors = collector.errors();
        if (!errors.isEmpty()) {
            reason = QStringLiteral("a package document cannot be read: %1")
                         .arg(errors.join(QStringLiteral("; ")));
        } else if (!epub.contentURL().isValid()) {
            reason
                = QStringLiteral("no package document (META-INF/container.xml names none that can be read)");
        } else if (epub.spine().isEmpty()) {
            reason = QStringLiteral("the package has no spine");
        } else {
            const QString href
                = stringForKey(epub.spine().first().toMap(), QStringLiteral("href")).value_or(QString());
            const EpubResponse first = protocol.startLoading(epub.urlForContent(href));
            if (first.incomplete || first.crcMismatch)
                reason = QStringLiteral("the first spine item %1 is damaged").arg(href);
            else if (first.failed())
                reason = QStringLiteral("the first spine item %1 is not in the archive").arg(href);
        }
    }
    for (const QString &error : errors)
        XML2DicParser::ErrorCollector::report(error);
    return reason;
}

std::optional<QString> EPUBManager::packagePath(const QVariantMap &container)
{
    const QVariantList rootfiles
        = pathToArray(container, QStringLiteral("/container/rootfiles/rootfile")).value_or(QVariantList());
    // Several renditions (accessibility editions list a second one, or a
    // foreign format): the first package document is the default rendition.
    // With no rootfile marked as one, the first that names a file is taken,
    // as a lone rootfile without its type always was.
    std::optional<QString> first;
    for (const QVariant &entry : rootfiles) {
        if (!isMap(entry))
            continue;
        const auto path = stringForKey(entry.toMap(), QStringLiteral("full-path"));
        if (!path || path->isEmpty())
            continue;
        if (stringForKey(entry.toMap(), QStringLiteral("media-type")).value_or(QString()).trimmed()
            == u"application/oebps-package+xml")
            return path;
        if (!first)
            first = path;
    }
    return first;
}

std::optional<QString> EPUBManager::manifestHrefWithProperty(const QString &property) const
{
    for (auto it = m_manifest.cbegin(); it != m_manifest.cend(); ++it) {
        const QVariantMap item = it.value().toMap();
        const QStringList properties = stringForKey(item, QStringLiteral("properties"))
                                           .value_or(QString())
                                           .split(u' ', Qt::SkipEmptyParts);
        const auto href = stringForKey(item, QStringLiteral("href"));
        if (properties.contains(property) && href)
            return href;
    }
    return std::nullopt;
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
        QVariantMap entry { { QStringLiteral("id"), id } };
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

namespace
{

QString fromXml(const xmlChar *s)
{
    return s ? QString::fromUtf8(reinterpret_cast<const char *>(s)) : QString();
}

// The text of a label as it reads: runs of white space become one blank,
// none at either end.
QString collapsedText(const QByteArray &utf8)
{
    const QString text = QString::fromUtf8(utf8);
    QString out;
    out.reserve(text.size());
    bool blank = false;
    for (const QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
            blank = !out.isEmpty();
            continue;
        }
        if (blank)
            out += u' ';
        blank = false;
        out += c;
    }
    return out;
}

// Reads the table of contents of an EPUB 3 navigation document: the first
// <nav> whose epub:type names "toc", its first <ol>, and within it each <li>
// with the <a> (or, for a heading without link, the <span>) that labels it
// and the <ol> of its children. A label's text is the whole text inside it,
// <code>, <em> and nested spans included, which a dictionary of the document
// would not give in order. libxml2's namespace-aware events are used with the
// same protections as XML2DicParser (recover, no network, no entities but the
// predefined ones, nesting bounded by kMaxDepth); the entries are built
// without recursion.
class NavTocReader
{
public:
    explicit NavTocReader(std::function<QString(const QString &)> resolveHref)
        : m_resolve(std::move(resolveHref))
    {
    }

    // The entries, or absent when the document has no such list or nests
    // deeper than kMaxDepth (then `error` says so).
    std::optional<QVariantList> read(const QByteArray &bytes, QString *error)
    {
        xmlSAXHandler sax {};
        sax.initialized = XML_SAX2_MAGIC;
        sax.startElementNs = onStart;
        sax.endElementNs = onEnd;
        sax.characters = onText;
        sax.cdataBlock = onText;
        sax.serror = [](void *, xmlErrorPtr) {};
        xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr);
        if (!ctxt)
            return std::nullopt;
        m_context = ctxt;
        xmlCtxtUseOptions(ctxt, XML_PARSE_RECOVER | XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_COMPACT);
        xmlParseChunk(ctxt, bytes.constData(), int(std::min<qsizetype>(bytes.size(), INT_MAX)), 1);
        if (ctxt->myDoc)
            xmlFreeDoc(ctxt->myDoc);
        ctxt->myDoc = nullptr;
        xmlFreeParserCtxt(ctxt);
        m_context = nullptr;
        if (!m_error.isEmpty()) {
            if (error)
                *error = m_error;
            return std::nullopt;
        }
        return m_result;
    }

private:
    enum class Kind { Other, Nav, List, Item, Label, Reading };
    struct Item {
        QVariantMap entry;
        std::optional<QVariantList> children;
        bool labelled = false;
    };

    static bool isXhtml(const xmlChar *uri) { return !uri || fromXml(uri) == kXhtmlNs; }

    static void onStart(void *ctx, const xmlChar *localname, const xmlChar *, const xmlChar *uri, int,
        const xmlChar **, int attributeCount, int, const xmlChar **attributes)
    {
        auto *self = static_cast<NavTocReader *>(ctx);
        if (!self->m_error.isEmpty())
            return;
        if (self->m_kinds.size() >= XML2DicParser::kMaxDepth) {
            self->m_error
                = QStringLiteral("elements nested deeper than %1 levels").arg(XML2DicParser::kMaxDepth);
            xmlStopParser(self->m_context);
            return;
        }
        // Attributes come as (local name, prefix, namespace, value start, value end).
        auto attribute
            = [&](const char *name, const QString &ns, const char *fallbackPrefix) -> std::optional<QString> {
            for (int i = 0; i < attributeCount; ++i) {
                const xmlChar **a = attributes + 5 * i;
                if (fromXml(a[0]) != QLatin1String(name))
                    continue;
                const bool matches = ns.isEmpty()
                    ? !a[2]
                    : (fromXml(a[2]) == ns
                        || (!a[2] && fallbackPrefix && fromXml(a[1]) == QLatin1String(fallbackPrefix)));
                if (matches)
                    return QString::fromUtf8(reinterpret_cast<const char *>(a[3]), int(a[4] - a[3]));
            }
            return std::nullopt;
        };
        self->m_kinds.append(self->kindOf(fromXml(localname), isXhtml(uri), attribute));
    }

    template <typename Attribute> Kind kindOf(const QString &name, bool xhtml, const Attribute &attribute)
    {
        if (m_inLabel && xhtml && !m_done)
            return kindInLabel(name, attribute);
        if (m_done || !xhtml || m_inLabel)
            return Kind::Other;
        if (!m_inToc) {
            if (name != u"nav")
                return Kind::Other;
            // An unbound "epub" prefix is taken for the usual one.
            const QString type = attribute("type", kOpsNs, "epub").value_or(QString());
            if (!type.split(u' ', Qt::SkipEmptyParts).contains(QStringLiteral("toc")))
                return Kind::Other;
            m_inToc = true;
            return Kind::Nav;
        }
        const size_t items = m_items.size();
        if (name == u"ol" && m_lists.size() == items) {
            m_lists.emplace_back();
            return Kind::List;
        }
        if (name == u"li" && m_lists.size() == items + 1) {
            ++m_counter;
            Item item;
            item.entry.insert(QStringLiteral("id"),
                attribute("id", QString(), nullptr).value_or(QStringLiteral("nav-%1").arg(m_counter)));
            m_items.push_back(std::move(item));
            return Kind::Item;
        }
        if ((name == u"a" || name == u"span") && items > 0 && m_lists.size() == items
            && !m_items.back().labelled) {
            Item &item = m_items.back();
            item.labelled = true;
            if (name == u"a") {
                if (const auto href = attribute("href", QString(), nullptr))
                    item.entry.insert(QStringLiteral("content"), m_resolve(*href));
            }
            m_inLabel = true;
            m_label.clear();
            m_pictureLabel.clear();
            return Kind::Label;
        }
        return Kind::Other;
    }

    // Inside a label: ruby readings (<rt>, and the <rp> parentheses for
    // readers without ruby) are no part of the words a row shows, and a
    // picture speaks through its alternative text (or its title), which
    // labels a link that holds nothing else.
    template <typename Attribute> Kind kindInLabel(const QString &name, const Attribute &attribute)
    {
        if (name == u"rt" || name == u"rp") {
            ++m_readings;
            return Kind::Reading;
        }
        if (name == u"img" && m_readings == 0) {
            QString text = attribute("alt", QString(), nullptr).value_or(QString()).trimmed();
            if (text.isEmpty())
                text = attribute("title", QString(), nullptr).value_or(QString()).trimmed();
            if (!text.isEmpty()) {
                if (!m_pictureLabel.isEmpty())
                    m_pictureLabel += ' ';
                m_pictureLabel += text.toUtf8();
            }
        }
        return Kind::Other;
    }

    static void onEnd(void *ctx, const xmlChar *, const xmlChar *, const xmlChar *)
    {
        auto *self = static_cast<NavTocReader *>(ctx);
        if (!self->m_error.isEmpty() || self->m_kinds.isEmpty())
            return;
        switch (self->m_kinds.takeLast()) {
        case Kind::Other:
            break;
        case Kind::Reading:
            --self->m_readings;
            break;
        case Kind::Nav:
            // Only the first table of contents counts, even without a list.
            self->m_inToc = false;
            self->m_done = true;
            break;
        case Kind::Label: {
            self->m_inLabel = false;
            QString text = collapsedText(self->m_label);
            if (text.isEmpty())
                text = collapsedText(self->m_pictureLabel);
            self->m_items.back().entry.insert(QStringLiteral("text"), text);
            self->m_label.clear();
            self->m_pictureLabel.clear();
            break;
        }
        case Kind::Item: {
            Item item = std::move(self->m_items.back());
            self->m_items.pop_back();
            if (item.children)
                item.entry.insert(QStringLiteral("child"), *item.children);
            self->m_lists.back().append(item.entry);
            break;
        }
        case Kind::List: {
            QVariantList list = std::move(self->m_lists.back());
            self->m_lists.pop_back();
            // A list opens where as many items as lists are open: inside the
            // innermost item, or at the top of the navigation element.
            if (!self->m_items.empty()) {
                self->m_items.back().children = std::move(list);
            } else {
                self->m_result = std::move(list);
                self->m_done = true;
            }
            break;
        }
        }
    }

    static void onText(void *ctx, const xmlChar *ch, int len)
    {
        auto *self = static_cast<NavTocReader *>(ctx);
        if (self->m_inLabel && self->m_readings == 0 && len > 0)
            self->m_label.append(reinterpret_cast<const char *>(ch), len);
    }

    std::function<QString(const QString &)> m_resolve;
    xmlParserCtxtPtr m_context = nullptr;
    QString m_error;
    QList<Kind> m_kinds; // the open elements
    bool m_inToc = false;
    bool m_done = false;
    bool m_inLabel = false;
    std::vector<QVariantList> m_lists; // the open lists, outermost first
    std::vector<Item> m_items; // the open list items, outermost first
    QByteArray m_label;
    QByteArray m_pictureLabel; // alternative texts of the label's pictures
    int m_readings = 0; // open <rt>/<rp> elements inside the label
    int m_counter = 0;
    std::optional<QVariantList> m_result;
};

} // namespace

void EPUBManager::readNavDocument(const QString &href)
{
    const QUrl navUrl = urlForContent(href);
    const auto bytes = load(navUrl);
    if (!bytes)
        return;

    // Hrefs in the navigation document are relative to it; the entries keep
    // them relative to the content folder, as NCX entries are.
    const QString contentPath = m_contentURL.path(QUrl::FullyDecoded);
    NavTocReader reader([&](const QString &target) {
        const QUrl absolute = navUrl.resolved(relativeUrl(target));
        QString path = absolute.path(QUrl::FullyDecoded);
        if (path.startsWith(contentPath))
            path = path.mid(contentPath.size());
        if (absolute.hasFragment())
            path += u'#' + absolute.fragment(QUrl::FullyDecoded);
        return path;
    });
    QString error;
    const auto toc = reader.read(*bytes, &error);
    if (!error.isEmpty()) {
        qCWarning(lcContent) << "navigation document not read:" << error;
        XML2DicParser::ErrorCollector::report(error);
        return;
    }
    // An NCX that gave an empty list keeps it when the navigation document
    // gives nothing either.
    if (toc && (!toc->isEmpty() || !m_toc))
        m_toc = toc;
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
