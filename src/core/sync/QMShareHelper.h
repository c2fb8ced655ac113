// Exchanges bookmarks, highlights and memos with the annotation sync
// server: uploads what changed since the last successful upload, and
// downloads one book's annotations when it is opened.
//
// Nothing local is lost: request bodies are percent-encoded form values; a
// failed upload changes nothing; a deletion leaves the library only after
// the server has received it; a download keeps local highlights and memos
// and every annotation not uploaded yet.
//
// The helper works on the library it was made over, which must outlive it.
// Main thread only; replies are handled on the main thread. A download's
// answer is read and merged on a pool thread and stored on the main thread.
#pragma once

#include "AnnotationMerge.h"
#include "core/library/Library.h"

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QString>
#include <QVariantMap>
#include <functional>

class LibraryStore;
class ServerConfig;
class VamoManager;

class QMShareHelper
{
public:
    static constexpr const char *kSyncDone = "SyncDone";

    QMShareHelper(const Library &library, const ServerConfig &servers, VamoManager &vamo);

    // Uploads every annotation change not yet on the server (deletions
    // always), each under its own book's kind: EPUB books' to the EPUB
    // path, PDF books' to the PDF path; `isPdf` is the kind of annotations
    // whose book is not in the library. Annotations of books imported from
    // disk stay on this device (their deletions are final at once).
    // `done` (optional) learns whether every part was taken; what was not
    // stays marked and goes with the next upload.
    void syscBookMark(bool isPdf, std::function<void(bool)> done = {});
    // The same when anything is waiting (after signing in); `done` gets true
    // at once when nothing is.
    void uploadPending(std::function<void(bool)> done = {});
    // At quit: uploads what is waiting and runs a local event loop for at
    // most `timeoutMs` for the answer. True when nothing is left unsent.
    bool uploadPendingAndWait(int timeoutMs);
    // Whether an annotation change waits to be sent.
    bool hasPendingChanges() const;
    // Whether a book's annotations go to the sync server: a store book,
    // not one imported from disk ("9999999999", "local:…") or without an
    // identifier.
    static bool syncsAnnotations(const QString &identifier);
    // Downloads the book's annotations of account `user` and merges them;
    // posts "SyncDone" when a reply was stored. `done` (optional) learns
    // whether it was: false for a failed request, a malformed answer or a
    // failed write, and then the library is as it was.
    void getMyBookAll(
        const QString &bookId, const QString &user, bool isPdf, std::function<void(bool)> done = {});
    // Reading logs are not uploaded.
    static void syscAccessLog() { }

    // A download "updateDate": milliseconds in the server's local-time
    // convention, as a point in time.
    static QDateTime initNsDateFromUTCLong(qint64 milliseconds);

    // Applies a merge's writes to the annotations (of `store`) as one
    // transaction: all of them, or (on any failed write, logged) none; false
    // then. Public for tests and benchmarks.
    [[nodiscard]] static bool applyWrites(LibraryStore &store, QList<AnnotationMerge::Write> writes);
    [[nodiscard]] static bool applyWrites(
        AnnotationRepository &annotations, QList<AnnotationMerge::Write> writes);

private:
    bool signInCheck();

    Library m_library;
    const ServerConfig &m_servers;
    VamoManager &m_vamo;
    QNetworkAccessManager m_network;
};
