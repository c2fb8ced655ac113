// The provider's article list of the article screen: article total and
// list over XML-RPC, article bodies fetched once and cached (category 2),
// "latestUpdate". Request documents are built from fixed templates with
// every parameter text XML-escaped.
//
// Main thread only. Answers are always parsed on a worker thread and handed
// back to the main thread; the synchronous calls (isUpdate, getArticleList,
// getArticle, getInfoList, bodyForArticle) wait for that in a local event
// loop, so the window keeps painting meanwhile.
#pragma once

#include "core/library/NewsCacheRepository.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>

class QThread;
class ServerConfig;

class ProviderArticleLogic
{
public:
    // The articles are cached in `news`, whose store must outlive the logic.
    ProviderArticleLogic(NewsCacheRepository news, const ServerConfig &servers);

    // The article rows: "infocategory_id", "info_id", "info_detail",
    // "info_date", "info_body".
    QVariantList updateInfoLists;
    // The article total last seen in this run.
    int mediaInfoUpdateCount = 0;

    // The article total, or -1 when no answer could be read; stores the
    // newest date as "latestUpdate".
    int isUpdate();
    void getArticleList(int count);
    // The article struct ("body"), or absent.
    std::optional<QVariantMap> getArticle(const QString &id);
    // Refreshes the list by the cache rules; when that fetches nothing and
    // the list is still empty, the cached articles are listed.
    void getInfoList();
    void setUpBodyInfo(const QString &id, const QString &body);
    void loadDataFromCache();
    // The body shown for an article row: its cached body, else fetched once
    // and cached.
    QString bodyForArticle(const QVariantMap &article);
    // The page shown: the body and the provider's copyright footer.
    static QString pageHtml(const QString &body);

    // The request documents.
    static QByteArray updateStatusDocument(
        const QString &email, const QString &password, const QString &latestUpdate);
    static QByteArray articleListDocument(int count, const QString &email, const QString &password);
    static QByteArray articleDocument(int id, const QString &email, const QString &password);

    // Sends `document` to the provider without waiting. The answer is parsed
    // on a worker thread, then `done` runs on the main thread with the
    // answer's struct, or absent: no answer within 30 s, an HTTP status other
    // than 200, a fault, malformed XML, a value nested too deeply, or a value
    // that is not a struct. `done` does not run when `context` is destroyed
    // first, nor once this object is.
    void callAsync(
        const QByteArray &document, QObject *context, std::function<void(std::optional<QVariantMap>)> done);

    // The struct of an answer document, or absent (as for callAsync). Pure;
    // any thread.
    static std::optional<QVariantMap> parseAnswer(const QByteArray &body);

    // Counts the provider calls (for tests).
    int calls = 0;
    // Calls sent and not yet delivered or dropped (for tests).
    int inFlight() const { return m_inFlight; }
    // The thread that parsed the latest answer handed back (for tests).
    const QThread *lastParseThread = nullptr;

private:
    std::optional<QVariantMap> call(const QByteArray &document);

    NewsCacheRepository m_news;
    const ServerConfig &m_servers;
    QNetworkAccessManager m_network;
    int m_inFlight = 0;
    // Parent of the pending hand-backs; declared last so it goes first, and
    // nothing is handed back to a half-destroyed object.
    QObject m_deliveries;
};
