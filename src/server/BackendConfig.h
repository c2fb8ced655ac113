// The backend's seed: accounts, fixed credentials, catalogue, news and
// provider articles, read from a JSON file.
#pragma once

#include <QList>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

struct SeedAccount {
    QString login;
    QString password;
    QVariant lastName; // string or JSON null
    QVariant firstName; // string or JSON null
    QVariant email; // string or JSON null
};

struct CatalogueItem {
    QString bookId;
    QString file; // relative to the samples folder
    QString title;
    QString author;
    QString publisher;
    std::optional<int> print;
    int price = 0;
    bool freeSample = false;
};

struct BackendConfig {
    QString clientId;
    QString clientSecret;
    QString newsCid;
    QString newsPwd;
    QString serviceEmail;
    QString servicePassword;
    QString trackingId;
    int deviceLimit = 3;
    QList<SeedAccount> accounts;
    QList<CatalogueItem> catalogue;
    QVariantList news;
    QVariantList articles;

    // The seed in `path`; absent (with `error` set) when it cannot be read.
    static std::optional<BackendConfig> load(const QString &path, QString *error);
    const CatalogueItem *item(const QString &bookId) const;
};
