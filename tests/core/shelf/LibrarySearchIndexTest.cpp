// The library's full-text index: what it finds, and that it follows books
// being installed, replaced and deleted.
#include "core/shelf/LibrarySearchIndex.h"
#include "core/shelf/LibrarySearchIndexer.h"

#include "support/TextEpub.h"
#include "support/TextPdf.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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
        { QStringLiteral("投与量"), { "pharm.epub:1:Kidney" } },
        { QStringLiteral("腎機能"), { "pharm.epub:1:Kidney" } },
        { QStringLiteral("\"*) OR"), {} }, // no query syntax gets through
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
