#include "BackendConfig.h"

#include "core/util/DataHelpers.h"
#include "core/util/DictionaryHelpers.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

std::optional<BackendConfig> BackendConfig::load(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return std::nullopt;
    }
    QJsonParseError parseError {};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &parseError);
    if (!doc.isObject()) {
        *error = QStringLiteral("%1 is not a JSON object: %2").arg(path, parseError.errorString());
        return std::nullopt;
    }
    const QVariantMap m = doc.object().toVariantMap();
    BackendConfig c;
    auto text
        = [&](const char *key) { return stringForKey(m, QString::fromLatin1(key)).value_or(QString()); };
    c.clientId = text("clientId");
    c.clientSecret = text("clientSecret");
    c.newsCid = text("newsCid");
    c.newsPwd = text("newsPwd");
    c.serviceEmail = text("serviceEmail");
    c.servicePassword = text("servicePassword");
    c.trackingId = text("trackingId");
    c.deviceLimit = m.value(QStringLiteral("deviceLimit"), 3).toInt();
    for (const QVariant &v : m.value(QStringLiteral("accounts")).toList()) {
        const QVariantMap a = v.toMap();
        c.accounts.append({ a.value(QStringLiteral("login")).toString(),
            a.value(QStringLiteral("password")).toString(), a.value(QStringLiteral("lastName")),
            a.value(QStringLiteral("firstName")), a.value(QStringLiteral("email")) });
    }
    for (const QVariant &v : m.value(QStringLiteral("catalogue")).toList()) {
        const QVariantMap i = v.toMap();
        CatalogueItem item;
        item.bookId = i.value(QStringLiteral("bookId")).toString();
        item.file = i.value(QStringLiteral("file")).toString();
        item.title = i.value(QStringLiteral("title")).toString();
        item.author = i.value(QStringLiteral("author")).toString();
        item.publisher = i.value(QStringLiteral("publisher")).toString();
        if (i.contains(QStringLiteral("print")))
            item.print = i.value(QStringLiteral("print")).toInt();
        item.price = i.value(QStringLiteral("price")).toInt();
        item.freeSample = i.value(QStringLiteral("freeSample")).toBool();
        c.catalogue.append(item);
    }
    c.news = m.value(QStringLiteral("news")).toList();
    c.articles = m.value(QStringLiteral("articles")).toList();
    if (c.clientId.isEmpty() || c.clientSecret.isEmpty() || c.accounts.isEmpty()) {
        *error = QStringLiteral("%1 lacks clientId, clientSecret or accounts").arg(path);
        return std::nullopt;
    }
    return c;
}

const CatalogueItem *BackendConfig::item(const QString &bookId) const
{
    for (const CatalogueItem &i : catalogue)
        if (i.bookId == bookId)
            return &i;
    return nullptr;
}
