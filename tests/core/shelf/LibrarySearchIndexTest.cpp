// The library's full-text index: what it finds, and that it follows books
// being installed, replaced and deleted.
#include "core/shelf/LibrarySearchIndex.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/library/SqliteDatabase.h"
#include "core/reader/BookSearchText.h"
#include "core/reader/PdfTextSearch.h"
#include "core/reader/htmlSearchParser.h"
#include "core/shelf/LibrarySearchIndexer.h"
#include "core/shelf/SubstringTokenizer.h"

#include "support/Samples.h"
#include "support/TextEpub.h"
#include "support/TextPdf.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>

namespace
{

class LibrarySearch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir().mkpath(contents());
        ASSERT_TRUE(writeTextEpub(contents() + QStringLiteral("/pharm.epub"), QStringLiteral("Pharmacology"),
            { { QStringLiteral("Antibiotics"), "<p>Vancomycin needs trough levels.</p>" },
                { QStringLiteral("Kidney"), "<p>腎機能に応じて投与量を調節する。</p>" } }));
        ASSERT_TRUE(writeTextEpub(contents() + QStringLiteral("/nursing.epub"), QStringLiteral("Nursing"),
            { { QStringLiteral("Care"), "<p>Check vancomycin before the dose.</p>" } }));
        ASSERT_TRUE(writeTextPdf(contents() + QStringLiteral("/atlas.pdf"),
            { { QStringLiteral("Lung anatomy") }, { QStringLiteral("Vancomycin lung penetration") } }));
        QFile junk(contents() + QStringLiteral("/broken.epub"));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("not a zip");
    }

    QString contents() const { return m_dir.filePath(QStringLiteral("contents")); }
    QString indexPath() const { return m_dir.filePath(QStringLiteral("index.sqlite")); }

    static QStringList places(const QList<LibrarySearchIndex::Hit> &hits)
    {
        QStringList out;
        for (const auto &h : hits)
            out << QStringLiteral("%1:%2:%3").arg(h.fileName).arg(h.page).arg(h.location);
        return out;
    }

    QTemporaryDir m_dir;
};

TEST_F(LibrarySearch, FindsEveryBookPageAndChapterHoldingTheTerm)
{
    LibrarySearchIndex index(indexPath());
    ASSERT_TRUE(index.isOpen()) << index.lastError().toStdString();
    ASSERT_TRUE(index.update(contents()));
    EXPECT_EQ(index.bookCount(), 3) << "the broken file is left out";
    struct Case {
        QString term;
        QStringList places;
    };
    const Case cases[] = {
        { QStringLiteral("VANCOMYCIN"),
            { "atlas.pdf:1:2", "nursing.epub:0:Care", "pharm.epub:0:Antibiotics" } },
        { QStringLiteral("trough levels"), { "pharm.epub:0:Antibiotics" } },
        { QStringLiteral("levels trough"), {} }, // a phrase, in order
        { QStringLiteral("ough lev"), { "pharm.epub:0:Antibiotics" } }, // inside words
        { QStringLiteral("機能に"), { "pharm.epub:1:Kidney" } },
        { QStringLiteral("投与"), { "pharm.epub:1:Kidney" } }, // shorter than a token
        { QStringLiteral("腎"), { "pharm.epub:1:Kidney" } },
        { QStringLiteral("る。"), { "pharm.epub:1:Kidney" } }, // at the very end
        { QStringLiteral("投与量"), { "pharm.epub:1:Kidney" } },
        { QStringLiteral("腎機能"), { "pharm.epub:1:Kidney" } },
        { QStringLiteral("\"*) OR"), {} }, // no query syntax gets through
        { QStringLiteral("\""), {} },
        { QStringLiteral("absent"), {} },
    };
    for (const Case &c : cases)
        EXPECT_EQ(places(index.search(c.term)), c.places) << c.term.toStdString();

    const LibrarySearchIndex::Hit hit = index.search(QStringLiteral("vancomycin")).at(1);
    EXPECT_EQ(hit.title, QStringLiteral("Nursing"));
    EXPECT_EQ(hit.manifestId, QStringLiteral("c1"));
    EXPECT_EQ(hit.snippet.mid(hit.markStart, hit.markLength), QStringLiteral("vancomycin"));
}

TEST_F(LibrarySearch, FollowsReplacedAndDeletedBooks)
{
    LibrarySearchIndex index(indexPath());
    ASSERT_TRUE(index.update(contents()));
    ASSERT_TRUE(writeTextEpub(contents() + QStringLiteral("/nursing.epub"), QStringLiteral("Nursing 2nd"),
        { { QStringLiteral("Care"), "<p>Heparin drip, a longer text than before.</p>" } }));
    QFile::remove(contents() + QStringLiteral("/atlas.pdf"));
    ASSERT_TRUE(index.update(contents()));
    EXPECT_EQ(places(index.search(QStringLiteral("vancomycin"))), QStringList { "pharm.epub:0:Antibiotics" });
    EXPECT_EQ(places(index.search(QStringLiteral("heparin"))), QStringList { "nursing.epub:0:Care" });
    EXPECT_EQ(index.bookCount(), 2);
}

// Whatever the reader's search finds in a book, the library's search finds
// in the same spine item (and nothing more): over the generated sample
// library and a Japanese book with compounds, references and mixed case.
TEST_F(LibrarySearch, FindsEverySpineItemTheReadersSearchFinds)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("contents"));
    QDir().mkpath(folder);
    for (const QString &name : QDir(QStringLiteral(TAVRO_SAMPLES_DIR "/books")).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(sampleBookPath(name), folder + u'/' + name)) << name.toStdString();
    ASSERT_TRUE(writeTextEpub(folder + QStringLiteral("/jp.epub"), QStringLiteral("腎臓病の薬"),
        { { QStringLiteral("クリアランス"),
              "<p>クレアチニンクリアランスが低下した患者では減量する。</p>"
              "<p>Creatinine&#x20;Clearance &amp; ＣＬＥＡＲＡＮＣＥ</p>" },
            { QStringLiteral("Vancomycin"),
                "<p>VANCOMYCIN は<i>腎</i>毒性に注意。</p><p>Renal\nfunction</p>" },
            { QStringLiteral("Empty"), "<p> </p>" } }));
    LibrarySearchIndex index(indexPath());
    ASSERT_TRUE(index.update(folder));

    const QStringList terms { QStringLiteral("クリアランス"), QStringLiteral("クリア"), QStringLiteral("腎"),
        QStringLiteral("減量"), QStringLiteral("投与"), QStringLiteral("clearance"),
        QStringLiteral("ｃｌｅａｒ"), QStringLiteral("mycin"), QStringLiteral("e c"),
        QStringLiteral("left ventricle pumps"), QStringLiteral("& Ｃ"), QStringLiteral("the"),
        QStringLiteral("a"), QStringLiteral("。") };
    for (const QString &term : terms) {
        QSet<QString> inBook;
        QSet<QString> inPdf;
        for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files)) {
            if (f.suffix() == u"pdf") {
                const PdfTextSearch pdf(f.absoluteFilePath());
                for (const PdfHit &h : pdf.find(term, INT_MAX).value_or(QList<PdfHit> {}))
                    inPdf << QStringLiteral("%1:%2").arg(f.fileName()).arg(h.page);
                continue;
            }
            if (f.suffix() != u"epub")
                continue;
            const EPUBURLProtcol protocol(f.absolutePath(), QString());
            const EPUBManager epub(BookUrl::rootUrl(f.fileName()), &protocol);
            const BookSearchText text(epub, &protocol);
            htmlSearchParser parser;
            parser.parseXML({}, true, term, text, {}, true, INT_MAX);
            for (const QVariant &hit : parser.bookSearchResultMutableArray())
                inBook << QStringLiteral("%1:%2")
                              .arg(f.fileName())
                              .arg(hit.toMap().value(QStringLiteral("page")).toInt() - 1);
        }
        QSet<QString> epubHits;
        QSet<QString> pdfHits;
        for (const LibrarySearchIndex::Hit &h : index.search(term, INT_MAX))
            (h.isPdf ? pdfHits : epubHits) << QStringLiteral("%1:%2").arg(h.fileName).arg(h.page);
        EXPECT_EQ(epubHits, inBook) << term.toStdString();
        // PDF find is case-sensitive; the library's search is not.
        EXPECT_TRUE(pdfHits.contains(inPdf)) << term.toStdString();
        EXPECT_FALSE(epubHits.isEmpty()) << term.toStdString();
    }
    EXPECT_TRUE(index.search(QStringLiteral("クリアランス"), INT_MAX).size() >= 3)
        << "the sample book's two chapters and the Japanese book";
}

TEST_F(LibrarySearch, AnIndexOfAnOlderLayoutIsReadAgain)
{
    {
        LibrarySearchIndex index(indexPath());
        ASSERT_TRUE(index.update(contents()));
    }
    {
        // What an older version left: its tables, and the books marked as
        // read, so that only a change of layout makes them be read again.
        SqliteDatabase db;
        ASSERT_TRUE(db.open(indexPath()));
        ASSERT_TRUE(SubstringTokenizer::registerWith(db.handle()));
        ASSERT_TRUE(
            db.exec(QStringLiteral("DROP TABLE bookText; DROP TABLE textRow; "
                                   "CREATE VIRTUAL TABLE bookText USING fts4(body, words, notindexed=body);"
                                   "CREATE TABLE textRow(docid INTEGER PRIMARY KEY, fileName TEXT, "
                                   "page INTEGER, manifestId TEXT, location TEXT); PRAGMA user_version=2")));
    }
    LibrarySearchIndex index(indexPath());
    ASSERT_TRUE(index.isOpen()) << index.lastError().toStdString();
    ASSERT_TRUE(index.update(contents()));
    EXPECT_EQ(places(index.search(QStringLiteral("ancomyc"))),
        (QStringList { "atlas.pdf:1:2", "nursing.epub:0:Care", "pharm.epub:0:Antibiotics" }));
}

TEST_F(LibrarySearch, TheIndexerUpdatesInTheBackgroundWithProgress)
{
    LibrarySearchIndexer indexer(contents(), indexPath());
    QList<int> done;
    bool ended = false;
    QObject::connect(&indexer, &LibrarySearchIndexer::progress, [&](int d, int total) {
        done << d;
        EXPECT_EQ(total, 4);
    });
    QObject::connect(&indexer, &LibrarySearchIndexer::finished, [&](bool ok) {
        EXPECT_TRUE(ok);
        ended = true;
    });
    indexer.refresh();
    EXPECT_TRUE(indexer.isUpdating());
    ASSERT_TRUE(waitUntil([&] { return ended; }));
    EXPECT_EQ(done, (QList<int> { 1, 2, 3, 4 }));
    EXPECT_EQ(indexer.search(QStringLiteral("vancomycin")).size(), 3);
}

} // namespace
