// Annotations made with the reader's commands on one device, as another
// device of the same user finds them after opening the book, through the
// local backend: each home has its own library file and device id.
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/DataFolder.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/reader/BookOpening.h"
#include "core/reader/ReaderAnnotations.h"
#include "core/reader/ReadingState.h"
#include "core/store/ApiRequest.h"
#include "core/store/VamoManager.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/NotificationCenter.h"
#include "support/BackendProcess.h"
#include "support/Wait.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

QString sel(const char *which, qint64 n, qint64 o)
{
    return QStringLiteral("{\"%1QmNodeNo\":%2,\"%1QmNodeOffset\":%3}")
        .arg(QLatin1String(which))
        .arg(n)
        .arg(o);
}

// The page's drawing calls without the memo times (each device shows the
// time in its own zone), sorted.
QStringList drawn(const Library &library, const AnnotationPage &page)
{
    QStringList calls = ReaderAnnotations(library.annotations())
                            .pageScript(page)
                            .split(QStringLiteral(");"), Qt::SkipEmptyParts);
    for (QString &c : calls)
        c.remove(QRegularExpression(QStringLiteral("\"memodate\":\"[^\"]*\",?")));
    calls.sort();
    return calls;
}

class AnnotationRoundTrip : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        backend = new BackendProcess;
        ASSERT_TRUE(backend->start()) << backend->error().toStdString();
    }
    static void TearDownTestSuite() { delete backend; }

    void SetUp() override
    {
        backend->resetFaults();
        setApiTimeoutScale(1.0);
        m_servers = std::make_unique<ServerConfig>(backend->baseUrl(), QStringLiteral("/nonexistent.ini"));
        m_vamo = std::make_unique<VamoManager>(*m_servers);
        m_sync = std::make_unique<QMShareHelper>(library(), *m_servers, *m_vamo);
        m_token = backend->accessToken(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"));
        m_vamo->writeToken(m_token);
        UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("0"));
        for (const char *device : { "A", "B" }) {
            use(QLatin1String(device));
            library().account().saveUserInfo({ { QStringLiteral("userId"), 1 } });
            addBook(1, m_epub, QStringLiteral("med.epub"));
            addBook(2, m_pdf, QStringLiteral("atlas.pdf"));
            addBook(3, QStringLiteral("local:mine.pdf"), QStringLiteral("mine.pdf"));
        }
        m_page.bookID = 1;
        m_page.pageIdx = 2;
        m_page.tocId = QStringLiteral("toc-2");
        m_page.contentTitle = QStringLiteral("第2章");
        m_page.metaBookID = m_epub;
    }
    Library library() { return Library(m_store); }

    void TearDown() override
    {
        m_store.close();
        m_vamo->writeToken(std::nullopt);
    }

    void addBook(qint64 id, const QString &identifier, const QString &file)
    {
        BookMetaData book;
        book.BookID = id;
        book.identifier = identifier;
        book.fileName = file;
        EXPECT_TRUE(m_store.insert(book));
    }

    void use(const QString &name)
    {
        m_store.close();
        ASSERT_TRUE(m_store.open(m_dir.filePath(name + QStringLiteral(".sqlite"))));
        // The device id annotations are stored under is the saved one.
        ConfigDictionary config(DataFolder::configFile());
        config.setValue(QStringLiteral("uuid"), QStringLiteral("DEVICE-") + name);
        config.save();
    }

    // Leaving the reader of `info`'s book, as the reader does it.
    bool leave(qint64 bookID)
    {
        BookInfo info;
        info.bookID = bookID;
        if (!ReadingState::uploadsOnLeave(library().books(), info, true))
            return false;
        std::optional<bool> result;
        m_sync->syscBookMark(bookID == 2, [&](bool ok) { result = ok; });
        waitUntil([&] { return result.has_value(); }, 20000);
        return result.value_or(false);
    }

    // Opening a book: its annotations are downloaded, then "SyncDone".
    bool open(const QString &fileName)
    {
        int done = 0;
        QObject context;
        NotificationCenter::defaultCenter().observe(
            QString::fromLatin1(QMShareHelper::kSyncDone), &context, [&](const QVariant &) { ++done; });
        BookOpening::markOpened(library(), fileName, m_sync.get());
        return waitUntil([&] { return done > 0; }, 20000);
    }

    static inline BackendProcess *backend = nullptr;
    const QString m_stamp = QString::number(QDateTime::currentMSecsSinceEpoch());
    const QString m_epub = QStringLiteral("urn:rt:epub:") + m_stamp;
    const QString m_pdf = QStringLiteral("rt-pdf-") + m_stamp;
    QTemporaryDir m_dir;
    QString m_token;
    AnnotationPage m_page;
    // One store, reopened on each device's file (the helper keeps it).
    LibraryStore m_store;
    std::unique_ptr<ServerConfig> m_servers;
    std::unique_ptr<VamoManager> m_vamo;
    std::unique_ptr<QMShareHelper> m_sync;
};

TEST_F(AnnotationRoundTrip, TwoHomesSeeTheSameMarks)
{
    use(QStringLiteral("A"));
    const auto kept
        = ReaderAnnotations(library().annotations()).highlight(m_page, sel("start", 1, 0), sel("end", 1, 12));
    BookHighlightMemo memo = *ReaderAnnotations(library().annotations())
                                  .highlight(m_page, sel("start", 3, 2), sel("end", 4, 1))
                                  .record;
    ASSERT_TRUE(
        ReaderAnnotations(library().annotations()).saveMemo(memo, QStringLiteral("要確認: 'q' & \"d\"")));
    const auto gone
        = ReaderAnnotations(library().annotations()).highlight(m_page, sel("start", 6, 0), sel("end", 6, 5));
    ReaderAnnotations(library().annotations())
        .deleteHighlight(m_page, ReaderAnnotations::identifier(*gone.record));
    ReaderAnnotations(library().annotations()).setBookmark(1, 2, true, QStringLiteral("ch2"), m_epub);
    ReaderAnnotations(library().annotations()).setBookmarkTitle(1, 2, QStringLiteral("用量"));
    ReaderAnnotations(library().annotations())
        .setBookmark(2, 7, true, QStringLiteral("7"), m_pdf); // a PDF page
    ReaderAnnotations(library().annotations())
        .setBookmark(3, 1, true, QStringLiteral("1"), QStringLiteral("local:mine.pdf"));
    ASSERT_TRUE(kept.record);
    const QStringList onA = drawn(library(), m_page);
    ASSERT_EQ(onA.size(), 2);
    BookInfo fromDisk;
    fromDisk.bookID = 3;
    EXPECT_FALSE(ReadingState::uploadsOnLeave(library().books(), fromDisk, true))
        << "a book from disk uploads nothing";
    ASSERT_TRUE(leave(1)) << "leaving an EPUB uploads";
    EXPECT_FALSE(m_sync->hasPendingChanges());

    use(QStringLiteral("B"));
    ASSERT_TRUE(open(QStringLiteral("med.epub")));
    EXPECT_EQ(drawn(library(), m_page), onA) << "the same marks at the same places";
    const auto marks = library().annotations().findAllBookMarkByBookID(1);
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(ReaderAnnotations::bookmarkTitle(marks[0]), QStringLiteral("用量"));
    ASSERT_TRUE(open(QStringLiteral("atlas.pdf")));
    const auto pdfMarks = library().annotations().findAllBookMarkByBookID(2);
    ASSERT_EQ(pdfMarks.size(), 1) << "the PDF bookmark went as a PDF one";
    EXPECT_EQ(pdfMarks[0].PageIdx, 7);
    EXPECT_TRUE(library().annotations().findAllBookMarkByBookID(3).isEmpty());

    // B's own edits travel back: one of A's highlights deleted, one added.
    ReaderAnnotations(library().annotations())
        .deleteHighlight(m_page, ReaderAnnotations::identifier(*kept.record));
    const auto added
        = ReaderAnnotations(library().annotations()).highlight(m_page, sel("start", 8, 0), sel("end", 8, 3));
    EXPECT_EQ(added.record->highlightNo, 3) << "numbers go on after the ones downloaded";
    EXPECT_TRUE(m_sync->hasPendingChanges());
    EXPECT_TRUE(m_sync->uploadPendingAndWait(20000)) << "as at quit";
    EXPECT_FALSE(m_sync->hasPendingChanges());
    const QStringList onB = drawn(library(), m_page);

    use(QStringLiteral("A"));
    ASSERT_TRUE(open(QStringLiteral("med.epub")));
    EXPECT_EQ(drawn(library(), m_page), onB);
    EXPECT_TRUE(drawn(library(), m_page).join(u' ').contains(QStringLiteral("'3_DEVICE-B'")));
    EXPECT_FALSE(drawn(library(), m_page).join(u' ').contains(QStringLiteral("'1_DEVICE-A'")))
        << "B's deletion arrived";
}

TEST_F(AnnotationRoundTrip, SignedOutChangesWaitAndGoAfterSignIn)
{
    use(QStringLiteral("A"));
    m_vamo->writeToken(std::nullopt);
    ReaderAnnotations(library().annotations()).highlight(m_page, sel("start", 2, 0), sel("end", 2, 4));
    EXPECT_FALSE(leave(1)) << "not signed in: nothing is sent";
    EXPECT_TRUE(m_sync->hasPendingChanges()) << "and it stays marked";
    setApiTimeoutScale(0.05);
    m_vamo->writeToken(m_token);
    backend->setFault({ { "path", "/sync/shareapi/insertBookAll" }, { "delayMs", 1500 } });
    EXPECT_FALSE(m_sync->uploadPendingAndWait(5000)) << "a time-out at quit";
    EXPECT_TRUE(m_sync->hasPendingChanges());
    backend->resetFaults();
    setApiTimeoutScale(1.0);

    std::optional<bool> result;
    m_sync->uploadPending([&](bool ok) { result = ok; }); // after signing in
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }, 20000));
    EXPECT_TRUE(*result);
    use(QStringLiteral("B"));
    ASSERT_TRUE(open(QStringLiteral("med.epub")));
    EXPECT_EQ(library().annotations().findAllHighlightByBookID(1).size(), 1);
}

} // namespace
