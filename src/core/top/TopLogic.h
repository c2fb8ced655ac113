// The data of the top screen: the news (login, list with its category
// filter, cache), the information file kept as "medicalInformation.json",
// the recently read books, the reader info for a recent book, and the
// "gotostore" links of the help and coffee-break pages.
//
// Main thread only.
#pragma once

#include "core/library/BookMetaData.h"
#include "core/library/Library.h"
#include "core/reader/BookInfo.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>

class ServerConfig;
class StoreManager;
class QMShareHelper;

class TopLogic
{
public:
    // The news cache and the recent books are read from `library`; it and
    // the other arguments must outlive the logic.
    TopLogic(const Library &library, const ServerConfig &servers, StoreManager &store, QMShareHelper *sync);

    // The news rows ("infocategory_id", "info_id", "info_detail", and from
    // the cache "info_date", "info_body").
    QVariantList newsLists;
    // The information file's "contents".
    QVariantList contentsArray;
    // Called whenever newsLists changed.
    std::function<void()> newsReloaded;
    // Whether the latest news request could not reach the server (newsLists
    // then holds the cached news, if any).
    bool newsUnreachable = false;

    // "?cid=…&pwd=…" with the news credentials percent-escaped.
    QString createParam() const;
    // The news login (waits up to 60 s); on success the news list is
    // requested. Whether a news token came.
    bool reconnectForToken();
    // The news list for a news token (asynchronous).
    void requestNewsInfo(const QString &token);
    void loadDataFromCache();

    // Downloads the information file; when it has "contents" it replaces the
    // stored file atomically. `done` runs on the main thread afterwards.
    void loadJsonFile(std::function<void()> done);
    // Reads the stored information file into contentsArray.
    void processTheData();
    static QString informationFilePath();

    // Books with a last-open date, newest first, at most 30; none while the
    // account is lifted ("accountLift" set to anything but "0").
    static QList<BookMetaData> recentItems(const BookRepository &books);
    // The text of a recent book's row, "title\r\npublisher": for a PDF the
    // record's title (percent escapes decoded) and publisher, for an EPUB
    // its package's "dc:title" and "dc:publisher" (the record's when the
    // package cannot be read); the file name when there is no title.
    static QString recentBookText(const BookMetaData &book);
    // The reader's book info for a recent book's file name; starts the
    // annotation download and marks the book opened.
    BookInfo readerInfoForRecentBook(const QString &fileName);

    // A help or coffee-break link whose address, split at "&", ends in
    // "gotostore": the POST request that opens it in the store.
    struct StoreRequest {
        QNetworkRequest request;
        QByteArray body;
    };
    static std::optional<StoreRequest> gotostoreRequest(const QUrl &url);

private:
    Library m_library;
    const ServerConfig &m_servers;
    StoreManager &m_store;
    QMShareHelper *m_sync;
    QNetworkAccessManager m_network;
    // Completions handed to the store's requests are tied to this: an answer
    // arriving after the top screen's logic is gone does nothing.
    QObject m_context;
};
