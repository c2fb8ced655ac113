// The package description of one EPUB book: container, OPF (metadata,
// manifest, spine, cover) and table of contents (NCX, or the EPUB 3
// navigation document when there is no NCX or it gives no entries). Every
// file is read through the epub:// scheme resolver; the archive is never
// unpacked. Elements of the container, package, Dublin Core and NCX are
// matched by namespace and local name, so a book that writes <opf:package>
// or binds Dublin Core to another prefix reads as one without prefixes;
// unprefixed names are read whatever their namespace.
//
// Construction reads everything at once on the calling thread. Afterwards the
// object is read-only apart from the lazily cached cover, so it belongs to one
// thread at a time. Never fails: an unreadable container leaves everything but
// rootURL empty.
#pragma once

#include "EPUBURLProtcol.h"

#include <QImage>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>

class EPUBManager
{
public:
    // Reads the book at `rootURL` (BookUrl::rootUrl) through a copy of
    // `protocol` (EPUBURLProtcol::forDataFolder() when null).
    explicit EPUBManager(const QUrl &rootURL, const EPUBURLProtcol *protocol = nullptr);

    // The resolver the book's files are read through.
    const EPUBURLProtcol &protocol() const { return m_protocol; }

    const QUrl &rootURL() const { return m_rootURL; }
    // The folder of the OPF, ending in "/"; invalid when there is no OPF.
    const QUrl &contentURL() const { return m_contentURL; }
    // Dublin Core texts under their "dc:" names, and "print".
    const QVariantMap &metadata() const { return m_metadata; }
    // Item id -> the item's attribute dictionary ("id", "href", ...).
    const QVariantMap &manifest() const { return m_manifest; }
    // Manifest item dictionaries in reading order; a page is an index here.
    // Empty when the package is unreadable or names no manifest item in its
    // spine (not a readable book).
    const QVariantList &spine() const { return m_spine; }
    // Entries {"id", "content", "text", "child"}; absent without a table of
    // contents.
    const std::optional<QVariantList> &toc() const { return m_toc; }
    // The manifest href of the cover image, relative to contentURL: the item
    // that <meta name="cover"> names, or without such a meta the item whose
    // properties include "cover-image"; absent when neither is there.
    const std::optional<QString> &coverPath() const { return m_coverPath; }
    // The spine's page-progression-direction ("ltr", "rtl", "default"), as
    // written; empty when the spine has none.
    const QString &pageProgressionDirection() const { return m_pageProgression; }
    // The package's "primary-writing-mode" meta (for example "vertical-rl"),
    // given as a name/content pair or as a property with text; empty when
    // there is none.
    const QString &primaryWritingMode() const { return m_primaryWritingMode; }

    // The cover image, loaded on first use and kept; a null image when there
    // is none (a failed load is tried again next time).
    QImage coverImage();

    // `href` resolved against contentURL; invalid for an empty href or when
    // there is no content URL.
    QUrl urlForContent(const QString &href) const;
    // The bytes at urlForContent(href), or absent.
    std::optional<QByteArray> dataForContent(const QString &href) const;

    // One level of NCX navPoint dictionaries (and, recursively, their nested
    // ones) as table-of-contents entries.
    static QVariantList nav2toc(const QVariantList &navPoints);

    // Why the EPUB file at `path` cannot be read as a book, or absent when
    // it can: its package documents parse without error, the spine names at
    // least one manifest item, and the first spine item reads whole (in the
    // archive, not cut short, matching its CRC). Errors of package documents
    // are also handed to the calling thread's XML2DicParser::ErrorCollector.
    // Any thread.
    static std::optional<QString> whyUnreadable(const QString &path);

    // The package document a parsed META-INF/container.xml names: the first
    // rootfile of type "application/oebps-package+xml", else the first
    // rootfile that names a file; absent when none does.
    static std::optional<QString> packagePath(const QVariantMap &container);

private:
    void readPackage();
    void readNavDocument(const QString &href);
    std::optional<QString> manifestHrefWithProperty(const QString &property) const;
    std::optional<QByteArray> load(const QUrl &url) const;

    EPUBURLProtcol m_protocol;
    QUrl m_rootURL;
    QUrl m_contentURL;
    QVariantMap m_metadata;
    QVariantMap m_manifest;
    QVariantList m_spine;
    std::optional<QVariantList> m_toc;
    std::optional<QString> m_coverPath;
    QString m_pageProgression;
    QString m_primaryWritingMode;
    QImage m_cover;
};
