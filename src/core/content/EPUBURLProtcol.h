// Serves the files of EPUB books under the epub:// scheme straight out of
// their zip archives, plus three built-in resources of the application.
// The web view's scheme handler and the package reader's synchronous loads
// both go through startLoading().
//
// Threads: any; an instance is immutable after construction.
#pragma once

#include "BookUrl.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <optional>

struct EpubResponse {
    int status = 200;
    // "Content-Length" always; "Content-Type" when the type is known.
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray mimeType; // empty when unknown
    // The entry's bytes; absent when the archive or the entry is missing, or
    // the entry cannot be read whole, in which case the load failed with
    // errorDomain "EPUB" and errorCode -1.
    std::optional<QByteArray> data;
    QString errorDomain;
    int errorCode = 0;
    // The entry was served, but its bytes do not match the CRC the archive
    // records for it.
    bool crcMismatch = false;
    // The load failed because the entry is damaged: it is in the archive but
    // cannot be read to the size the archive records for it.
    bool incomplete = false;

    bool failed() const { return !data.has_value(); }
};

class EPUBURLProtcol
{
public:
    // The resolver of this data folder's contents folder and the
    // application's resources. A small value: callers keep their own copy.
    static EPUBURLProtcol forDataFolder();

    EPUBURLProtcol(QString contentsFolder, QString resourceFolder);

    // True exactly for the "epub" scheme.
    static bool canInitWithRequest(const QUrl &url);

    // The response for a GET of `url`.
    EpubResponse startLoading(const QUrl &url) const;
    // The bytes of a synchronous load, or absent when it failed.
    std::optional<QByteArray> dataForUrl(const QUrl &url) const { return startLoading(url).data; }

    // The archive file a URL target names: contents folder or sample folder.
    QString archivePath(const BookUrl::Target &target) const;

    // The bytes of an entry: one leading "/" of `path` is dropped and the
    // rest looked up exactly (case-sensitive). Absent when the archive cannot
    // be opened, the entry is missing, the path is absolute or climbs out
    // with "..", or the entry cannot be read whole (then `incomplete`, when
    // given, is set: part of a damaged entry is never served); empty for an
    // empty entry. Bytes that do not match the entry's CRC are returned as
    // read, with `crcMismatch` (when given) set.
    static std::optional<QByteArray> zipData(
        const QString &archive, const QString &path, bool *crcMismatch = nullptr, bool *incomplete = nullptr);

    // The MIME type for a path by its lower-cased extension; empty when none
    // is known.
    static QByteArray mimeTypeForPath(const QString &path);

    const QString &contentsFolder() const { return m_contents; }
    const QString &resourceFolder() const { return m_resources; }

private:
    QString m_contents;
    QString m_resources;
};
