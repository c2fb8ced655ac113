// The log filter: quiet by default, the program's detail with --verbose.
#include "core/util/LogRules.h"
#include "core/util/LogRedaction.h"
#include "core/util/Logging.h"

#include <QLoggingCategory>
#include <gtest/gtest.h>

namespace
{

Q_LOGGING_CATEGORY(lcOther, "qt.other.library")

TEST(LogRules, QuietByDefaultDetailedWhenVerbose)
{
    struct Row {
        bool verbose;
        const QLoggingCategory &category;
        bool debug, info, warning;
    };
    const QList<Row> rows {
        { false, lcApp(), false, false, true },
        { false, lcStore(), false, false, true },
        { false, lcOther(), false, false, true },
        { true, lcApp(), true, true, true },
        { true, lcSync(), true, true, true },
        { true, lcOther(), false, false, true },
    };
    for (const Row &row : rows) {
        LogRules::install(row.verbose);
        const std::string name
            = std::string(row.category.categoryName()) + (row.verbose ? " verbose" : " quiet");
        EXPECT_EQ(row.category.isDebugEnabled(), row.debug) << name;
        EXPECT_EQ(row.category.isInfoEnabled(), row.info) << name;
        EXPECT_EQ(row.category.isWarningEnabled(), row.warning) << name;
        EXPECT_TRUE(row.category.isCriticalEnabled()) << name;
    }
    QLoggingCategory::setFilterRules(QString());
}

} // namespace

namespace
{

// Every way a secret reaches a log line in this program: a download link
// with its key, a form or query with a password, headers, a logged
// dictionary or JSON answer, a bearer credential, a registered token.
TEST(LogRedaction, MasksSecretsAndKeepsTheRest)
{
    LogRedaction::addSecret(QStringLiteral("tok-REGISTERED-123"));
    struct Row {
        const char *in;
        const char *out;
    };
    const Row rows[] = {
        { "QUrl(\"http://127.0.0.1:1/store-api/store/download.php?bookId=pdf-1&account=1&key=ab12cd\")",
            "QUrl(\"http://127.0.0.1:1/store-api/store/download.php?bookId=pdf-1&account=1&key=***\")" },
        { "/rest/authentication.php?cid=tavro_news&pwd=N3wsPa55",
            "/rest/authentication.php?cid=tavro_news&pwd=***" },
        { "grant_type=password&username=yamada&password=Yamada-2026",
            "grant_type=password&username=yamada&password=***" },
        { "tavro_token=abc&vamo_token=def&page=2", "tavro_token=***&vamo_token=***&page=2" },
        { "Cookie: tavro_store=s3cr3t", nullptr },
        { "Authorization: Bearer eyJhbGciOi.x-y_z", "Authorization: Bearer ***" },
        { "QList(std::pair(\"Authorization\",\"T0KEN\"), std::pair(\"userId\",\"1\"))",
            "QList(std::pair(\"Authorization\",\"***\"), std::pair(\"userId\",\"1\"))" },
        { "jsonString == \"{\\\"result\\\":true,\\\"token\\\":\\\"nt-1\\\"}\"", nullptr },
        { "{\"access_token\": \"at-1\", \"token_type\": \"bearer\"}",
            "{\"access_token\": \"***\", \"token_type\": \"bearer\"}" },
        { "store token received; token tok-REGISTERED-123 here", "store token received; token *** here" },
        { "ログイン成功：accountLift == \"0\"", "ログイン成功：accountLift == \"0\"" },
        { "download of nursing-notes.pdf keyboard=1 monkey=2",
            "download of nursing-notes.pdf keyboard=1 monkey=2" },
    };
    for (const Row &row : rows) {
        const QString out = LogRedaction::redact(QString::fromUtf8(row.in));
        if (row.out) {
            EXPECT_EQ(out, QString::fromUtf8(row.out)) << row.in;
        }
        for (const char *secret : { "ab12cd", "N3wsPa55", "Yamada-2026", "s3cr3t", "eyJhbGciOi", "T0KEN",
                 "nt-1", "at-1", "tok-REGISTERED-123", "=abc", "=def" })
            EXPECT_FALSE(out.contains(QString::fromLatin1(secret))) << row.in << " keeps " << secret;
    }
}

// The handler that LogRules installs masks messages of every level before
// any other handler sees them.
QStringList *g_seen = nullptr;
void collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (g_seen)
        g_seen->append(message);
}

TEST(LogRedaction, TheInstalledHandlerMasksEveryLevel)
{
    QStringList seen;
    g_seen = &seen;
    const QtMessageHandler before = qInstallMessageHandler(collect);
    LogRules::install(true);
    qCDebug(lcStore) << "url" << QStringLiteral("https://h/x?key=K3Y-debug");
    qCInfo(lcStore) << "password=P4SS-info";
    qCWarning(lcStore) << "Authorization: Bearer W4RN-token";
    LogRules::install(false);
    g_seen = nullptr;
    ASSERT_EQ(seen.size(), 3) << seen.join(u'\n').toStdString();
    for (const QString &line : seen)
        for (const char *secret : { "K3Y-debug", "P4SS-info", "W4RN-token" })
            EXPECT_FALSE(line.contains(QString::fromLatin1(secret))) << line.toStdString();
    Q_UNUSED(before);
}

} // namespace
