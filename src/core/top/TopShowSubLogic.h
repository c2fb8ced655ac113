// The provider's article list of the article screen: article total and
// list over XML-RPC, article bodies fetched once and cached (category 2),
// "latestUpdate". Request documents are built from fixed templates with
// every parameter text XML-escaped.
//
// Main thread only; the calls wait in a local event loop.
#pragma once

#include <QNetworkAccessManager>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>

class ServerConfig;

class TopShowSubLogic
{
public:
    explicit TopShowSubLogic(const ServerConfig &servers);

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
    // Refreshes the list by the cache rules.
    void getInfoList();
    void setUpBodyInfo(const QString &id, const QString &body);
    void loadDataFromCache();
    // The body shown for an article row: its cached body, else fetched once
    // and cached.
    QString bodyForArticle(const QVariantMap &article);
    // The page shown: the body and the provider's copyright footer.
    static QString pageHtml(const QString &body);

    // The request documents.
    static QByteArray updateStatusDocument(const QString &email, const QString &password, const QString &latestUpdate);
    static QByteArray articleListDocument(int count, const QString &email, const QString &password);
    static QByteArray articleDocument(int id, const QString &email, const QString &password);

    // Counts the provider calls (for tests).
    int calls = 0;

private:
    std::optional<QVariantMap> call(const QByteArray &document);

    const ServerConfig &m_servers;
    QNetworkAccessManager m_network;
};
