// The dictionary window's logic: headword prefixes across the enabled
// dictionaries, "mentions" over the entry texts, and the history.
#include "core/dictionary/DictionaryBrowser.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/platform/UserDefaults.h"
#include "core/shelf/ShelfModel.h"
#include "support/LibraryFixture.h"

#include <QFile>
#include <gtest/gtest.h>

namespace
{

class DictionaryBrowserTest : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        ASSERT_TRUE(m_dir.isValid());
        m_manager = std::make_unique<DictionaryManager>(store(), dbPath());
        UserDefaults::remove(kKey);
    }
    void TearDown() override
    {
        UserDefaults::remove(kKey);
        m_manager.reset();
        LibraryFixture::TearDown();
    }
    QString dbPath() const { return m_dir.filePath(QStringLiteral("Dic.sqlite")); }

    bool install(const QByteArray &csv, const QString &bookId)
    {
        const QString path = m_dir.filePath(bookId + QStringLiteral(".csv"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(csv);
        f.close();
        return m_manager->expandDic(
            path, { { QStringLiteral("bookId"), bookId }, { QStringLiteral("bookTitle"), bookId } }, path);
    }
    static QStringList words(const std::optional<QList<QVariantMap>> &rows)
    {
        QStringList out;
        for (const QVariantMap &row : rows.value_or(QList<QVariantMap>()))
            out << row.value(QStringLiteral("word")).toString();
        return out;
    }

    static inline const QString kKey = QStringLiteral("dictionaryHistoryTest");
    QTemporaryDir m_dir;
    std::unique_ptr<DictionaryManager> m_manager;
};

const QByteArray kJa = "見出し,読み,意味\r\n"
                       "心筋梗塞,しんきんこうそく,heart attack; myocardial infarction\r\n"
                       "心筋,しんきん,heart muscle\r\n"
                       "心筋炎,しんきんえん,inflammation of the heart muscle\r\n"
                       "心臓,しんぞう,heart\r\n"
                       "肺炎,はいえん,inflammation of the lungs\r\n";
const QByteArray kEn = "term,meaning\r\n"
                       "Heart failure,the heart pumps too little blood\r\n"
                       "heartburn,a burning pain behind the breastbone\r\n"
                       "pulmonary artery,the artery from the right ventricle to the lungs\r\n"
                       "ＨＥＡＲＴ,the organ (full-width)\r\n";

TEST_F(DictionaryBrowserTest, HeadwordsStartingWithThePrefix)
{
    ASSERT_TRUE(install(kJa, QStringLiteral("ja")));
    ASSERT_TRUE(install(kEn, QStringLiteral("en")));
    DictionaryBrowser browser(*m_manager, kKey);
    const struct {
        const char *prefix;
        int limit;
        QStringList words;
    } cases[] = {
        { "心筋", 10, { "心筋", "心筋梗塞", "心筋炎" } }, // the exact match first, then U+6897 < U+708E
        { "心", 10, { "心筋", "心筋梗塞", "心筋炎", "心臓" } }, { "心", 2, { "心筋", "心筋梗塞" } },
        { "heart", 10, { "ＨＥＡＲＴ", "Heart failure", "heartburn" } }, // folded both sides
        { "HEARTB", 10, { "heartburn" } }, { "artery", 10, {} }, // a later word of a headword is no prefix
        { "「肺", 10, { "肺炎" } }, { "腎", 10, {} }, { "", 10, {} }, { "\"*", 10, {} }, // no query syntax
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.prefix);
        const auto rows = browser.headwords(QString::fromUtf8(c.prefix), c.limit);
        ASSERT_TRUE(rows.has_value());
        EXPECT_EQ(words(rows), c.words);
    }
}

TEST_F(DictionaryBrowserTest, OnlyEnabledAndCurrentDictionaries)
{
    EXPECT_FALSE(DictionaryBrowser(*m_manager, kKey).headwords(QStringLiteral("心")).has_value())
        << "nothing installed";
    ASSERT_TRUE(install(kJa, QStringLiteral("ja")));
    DictionaryBrowser browser(*m_manager, kKey);
    EXPECT_EQ(words(browser.headwords(QStringLiteral("心臓"))), QStringList { QStringLiteral("心臓") });

    // A reinstall replaces the rows (under a new id): the index follows.
    ASSERT_TRUE(install("見出し,読み,意味\r\n心臓病,しんぞうびょう,heart disease\r\n", QStringLiteral("ja")));
    EXPECT_EQ(words(browser.headwords(QStringLiteral("心臓"))), QStringList { QStringLiteral("心臓病") });
    EXPECT_EQ(words(DictionaryBrowser(*m_manager, kKey).headwords(QStringLiteral("心"))),
        QStringList { QStringLiteral("心臓病") })
        << "a new connection finds the same";

    ASSERT_TRUE(install(kEn, QStringLiteral("en")));
    const qint64 ja = ShelfModel(library()).dictionaries().first().dicId.value();
    ASSERT_TRUE(ShelfModel(library()).setDictionaryUsed(ja, false));
    EXPECT_EQ(words(browser.headwords(QStringLiteral("心"))), QStringList());
    EXPECT_EQ(
        words(browser.headwords(QStringLiteral("heartb"))), QStringList { QStringLiteral("heartburn") });
}

// A caller that indexes on a worker gets the same rows from the full-text
// table meanwhile.
TEST_F(DictionaryBrowserTest, IndexedOnAWorkerAnsweredMeanwhile)
{
    ASSERT_TRUE(install(kJa, QStringLiteral("ja")));
    ASSERT_TRUE(install(kEn, QStringLiteral("en")));
    DictionaryBrowser browser(*m_manager, kKey);
    browser.setIndexesItself(false);
    EXPECT_EQ(browser.unindexed().size(), 2);
    const struct {
        const char *prefix;
        QStringList words;
    } cases[] = {
        { "心筋", { "心筋", "心筋梗塞", "心筋炎" } },
        { "heartb", { "heartburn" } },
        { "Heart f", { "Heart failure" } },
        { "artery", {} },
    };
    for (const bool indexed : { false, true }) {
        if (indexed) {
            ASSERT_TRUE(DictionaryBrowser::indexHeadwords(dbPath(), browser.unindexed()));
            browser.recheck();
            EXPECT_TRUE(browser.unindexed().isEmpty());
        }
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(c.prefix) + (indexed ? " indexed" : " from the full-text table"));
            EXPECT_EQ(words(browser.headwords(QString::fromUtf8(c.prefix))), c.words);
        }
    }
    EXPECT_FALSE(DictionaryBrowser::indexHeadwords(m_dir.filePath(QStringLiteral("none.sqlite")), { "1" }));
}

TEST_F(DictionaryBrowserTest, MentionsSearchesTheEntryTexts)
{
    ASSERT_TRUE(install(kJa, QStringLiteral("ja")));
    ASSERT_TRUE(install(kEn, QStringLiteral("en")));
    DictionaryBrowser browser(*m_manager, kKey);
    const struct {
        const char *text;
        QStringList words;
    } cases[] = {
        { "inflammation", { "心筋炎", "肺炎" } },
        { "heart muscle", { "心筋", "心筋炎" } },
        { "LUNGS", { "肺炎", "pulmonary artery" } },
        { "しんぞう", { "心臓" } }, // the reading is entry text too
        { "心臓", {} }, // the headword is not
        { "1", {} }, // nor the dictionary id
        { "heart OR lungs", {} },
        { "", {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(words(browser.mentions(QString::fromUtf8(c.text))), c.words);
    }
    EXPECT_EQ(browser.mentions(QStringLiteral("heart"), 2)->size(), 2);
}

TEST_F(DictionaryBrowserTest, HistoryBackForwardKeptAndCleared)
{
    {
        DictionaryBrowser browser(*m_manager, kKey);
        EXPECT_FALSE(browser.back());
        EXPECT_EQ(browser.current(), QString());
        for (const char *w : { "心筋", "心筋", "肺炎", "心臓" })
            browser.visit(QString::fromUtf8(w));
        EXPECT_EQ(browser.history(), (QStringList { "心筋", "肺炎", "心臓" })) << "a repeat is one visit";
        EXPECT_EQ(browser.back(), QStringLiteral("肺炎"));
        EXPECT_EQ(browser.back(), QStringLiteral("心筋"));
        EXPECT_FALSE(browser.back());
        EXPECT_EQ(browser.forward(), QStringLiteral("肺炎"));
        browser.visit(QStringLiteral("胃"));
        EXPECT_EQ(browser.history(), (QStringList { "心筋", "肺炎", "胃" })) << "the words gone back past go";
        EXPECT_FALSE(browser.canGoForward());
        browser.back();
    }
    DictionaryBrowser again(*m_manager, kKey);
    EXPECT_EQ(again.history(), (QStringList { "心筋", "肺炎", "胃" })) << "kept between runs";
    EXPECT_EQ(again.current(), QStringLiteral("肺炎"));
    EXPECT_TRUE(again.canGoForward());
    again.clearHistory();
    EXPECT_TRUE(again.history().isEmpty());
    EXPECT_FALSE(again.canGoBack());
    EXPECT_TRUE(DictionaryBrowser(*m_manager, kKey).history().isEmpty()) << "cleared for good";

    DictionaryBrowser capped(*m_manager, kKey);
    for (int i = 0; i < DictionaryBrowser::kMaxHistory + 5; ++i)
        capped.visit(QString::number(i));
    EXPECT_EQ(capped.history().size(), DictionaryBrowser::kMaxHistory);
    EXPECT_EQ(capped.history().first(), QStringLiteral("5"));
}

} // namespace
