// tavro-inspect search, run as a process.
#include "Inspect.h"
#include "support/TextEpub.h"
#include "support/TextPdf.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

class InspectSearch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(writeTextEpub(m_dir.filePath(QStringLiteral("book.epub")), QStringLiteral("Book"),
            { { QStringLiteral("One"), "<p>Insulin dose</p>" }, { QStringLiteral("Two"), "<p>no hit</p>" },
                { QStringLiteral("Three"), "<p>insulin, INSULIN</p>" } }));
        ASSERT_TRUE(writeTextPdf(m_dir.filePath(QStringLiteral("book.pdf")),
            { { QStringLiteral("Insulin and insulin") }, { QStringLiteral("insulin") } }));
    }

    QVariantMap run(QStringList args)
    {
        args.prepend(QStringLiteral("search"));
        const ProcessResult r = inspect(args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out).toVariant().toMap();
    }

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
};

TEST_F(InspectSearch, EpubHitsWithTheFlagsOfTheExtraRow)
{
    struct Case {
        QStringList options;
        int hits;
        QString extraRow; // empty: none
        QString firstLocation;
    };
    const Case cases[] = {
        // Started on the first item, yet not "from the first": the row is offered.
        { {}, 3, QStringLiteral("先頭から検索する"), QStringLiteral("1 - One") },
        { { QStringLiteral("--max"), QStringLiteral("1") }, 1, QStringLiteral("More"),
            QStringLiteral("1 - One") },
        { { QStringLiteral("--from"), QStringLiteral("c2") }, 2, QStringLiteral("先頭から検索する"),
            QStringLiteral("3 - Three") },
        { { QStringLiteral("--from"), QStringLiteral("c3"), QStringLiteral("--from-first") }, 3, QString(),
            QStringLiteral("1 - One") },
    };
    for (const Case &c : cases) {
        const QVariantMap out = run(QStringList { path("book.epub"), QStringLiteral("insulin") } + c.options);
        const std::string row = c.options.join(u' ').toStdString();
        EXPECT_EQ(out.value(QStringLiteral("results")).toList().size(), c.hits) << row;
        EXPECT_EQ(out.value(QStringLiteral("extraRow")).toString(), c.extraRow) << row;
        EXPECT_EQ(out.value(QStringLiteral("rows"))
                      .toList()
                      .value(0)
                      .toMap()
                      .value(QStringLiteral("location"))
                      .toString(),
            c.firstLocation)
            << row;
    }
    const QVariantMap hit = run(
        { path("book.epub"), QStringLiteral("INSULIN"), QStringLiteral("--from"), QStringLiteral("c3") })
                                .value(QStringLiteral("results"))
                                .toList()
                                .value(1)
                                .toMap();
    EXPECT_EQ(hit,
        (QVariantMap { { QStringLiteral("id"), QStringLiteral("c3") },
            { QStringLiteral("text"), QStringLiteral("insulin, INSULIN") }, { QStringLiteral("page"), 3 },
            { QStringLiteral("location"), 9 }, { QStringLiteral("no"), 2 } }));
}

TEST_F(InspectSearch, PdfHitsAreCaseSensitiveWithPageAndText)
{
    const QVariantList hits
        = run({ path("book.pdf"), QStringLiteral("insulin") }).value(QStringLiteral("hits")).toList();
    ASSERT_EQ(hits.size(), 2);
    EXPECT_EQ(hits.at(0).toMap().value(QStringLiteral("page")).toInt(), 1);
    EXPECT_EQ(hits.at(0).toMap().value(QStringLiteral("location")).toInt(), 12);
    EXPECT_EQ(hits.at(1).toMap().value(QStringLiteral("label")).toString(), QStringLiteral("2"));
}

TEST_F(InspectSearch, LibrarySearchIndexesTheHomeFolderAndListsEveryHit)
{
    const QString home = m_dir.filePath(QStringLiteral("home"));
    const QString contents = home + QStringLiteral("/.data/contents");
    ASSERT_TRUE(QDir().mkpath(contents));
    ASSERT_TRUE(QFile::copy(path("book.epub"), contents + QStringLiteral("/book.epub")));
    ASSERT_TRUE(QFile::copy(path("book.pdf"), contents + QStringLiteral("/atlas.pdf")));
    const ProcessResult r = inspect(
        { QStringLiteral("library-search"), QStringLiteral("insulin"), QStringLiteral("--home"), home });
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QVariantMap out = QJsonDocument::fromJson(r.out).toVariant().toMap();
    EXPECT_EQ(out.value(QStringLiteral("books")).toInt(), 2);
    QStringList places;
    for (const QVariant &v : out.value(QStringLiteral("hits")).toList()) {
        const QVariantMap h = v.toMap();
        places << QStringLiteral("%1:%2:%3")
                      .arg(h.value(QStringLiteral("file")).toString())
                      .arg(h.value(QStringLiteral("page")).toInt())
                      .arg(h.value(QStringLiteral("location")).toString());
    }
    EXPECT_EQ(
        places, (QStringList { "atlas.pdf:1:1", "atlas.pdf:2:2", "book.epub:1:One", "book.epub:3:Three" }));
}

TEST_F(InspectSearch, WrongUseAndBadFilesFail)
{
    struct Case {
        QStringList args;
        int code;
        const char *message;
    };
    const Case cases[] = {
        { { path("book.epub") }, 2, "usage" },
        { { path("book.epub"), QStringLiteral("x"), QStringLiteral("--max"), QStringLiteral("0") }, 2,
            "--max" },
        { { path("missing.epub"), QStringLiteral("x") }, 1, "no such file" },
        { { path("book.epub"), QStringLiteral("x"), QStringLiteral("--from"), QStringLiteral("zz") }, 1,
            "no spine item" },
    };
    for (const Case &c : cases) {
        const ProcessResult r = inspect(QStringList { QStringLiteral("search") } + c.args);
        EXPECT_EQ(r.exitCode, c.code) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    }
}

} // namespace
