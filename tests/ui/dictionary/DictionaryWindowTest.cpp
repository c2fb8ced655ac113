// The dictionary window: incremental prefix look-up, the "mentions" mode,
// back and forward, and the way in from the reader's pop-over.
#include "ui/dictionary/DictionaryWindow.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/platform/UserDefaults.h"
#include "support/DarkPalette.h"
#include "support/LibraryFixture.h"
#include "support/Wait.h"
#include "ui/reader/ReaderDictMenu.h"
#include "ui/reader/ReaderDictVC.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <gtest/gtest.h>

namespace
{

class DictionaryWindowTest : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        ASSERT_TRUE(m_dir.isValid());
        UserDefaults::remove(QStringLiteral("dictionaryHistory"));
        m_manager
            = std::make_unique<DictionaryManager>(store(), m_dir.filePath(QStringLiteral("Dic.sqlite")));
        const QString csv = m_dir.filePath(QStringLiteral("d.csv"));
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("見出し,読み,意味\r\n"
                "投与,とうよ,administration (of a drug); dosing\r\n"
                "投与量,とうよりょう,dose\r\n"
                "心筋梗塞,しんきんこうそく,myocardial infarction\r\n"
                "心筋炎,しんきんえん,inflammation of the heart muscle\r\n"
                "肺炎,はいえん,inflammation of the lungs\r\n");
        f.close();
        ASSERT_TRUE(m_manager->expandDic(csv,
            { { QStringLiteral("bookId"), QStringLiteral("d") },
                { QStringLiteral("bookTitle"), QStringLiteral("d") } },
            csv));
        m_top.resize(800, 600);
        m_top.show();
    }
    void TearDown() override
    {
        if (auto *w = m_top.findChild<DictionaryWindow *>()) {
            EXPECT_TRUE(waitUntil([&] { return !w->isIndexing(); }));
        }
        delete m_top.findChild<DictionaryWindow *>();
        m_menu.reset();
        m_manager.reset();
        UserDefaults::remove(QStringLiteral("dictionaryHistory"));
        LibraryFixture::TearDown();
    }

    static QStringList listed(const DictionaryWindow *w)
    {
        QStringList out;
        for (int i = 0; i < w->results()->count(); ++i)
            out << w->results()->item(i)->text();
        return out;
    }
    static void picture(QWidget *w, const QString &name)
    {
        QDir().mkpath(QStringLiteral(TAVRO_ARTIFACTS_DIR));
        w->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/") + name);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<DictionaryManager> m_manager;
    QWidget m_top;
    std::unique_ptr<ReaderDictMenu> m_menu;
};

TEST_F(DictionaryWindowTest, TypingAPrefixShowsTheFirstEntry)
{
    DictionaryWindow *w = DictionaryWindow::open(&m_top, *m_manager);
    ASSERT_TRUE(waitUntil([&] { return w->isVisible(); }));
    // The headword index is made on a worker when the window opens.
    ASSERT_TRUE(waitUntil([&] { return !w->isIndexing(); }));
    EXPECT_TRUE(w->browser().unindexed().isEmpty());
    EXPECT_EQ(DictionaryWindow::open(&m_top, *m_manager), w) << "one window per top-level window";
    // Typed one input-method commit at a time (QTest types ASCII only).
    w->searchField()->insert(QStringLiteral("心"));
    EXPECT_EQ(listed(w), (QStringList { "心筋梗塞", "心筋炎" }));
    w->searchField()->insert(QStringLiteral("筋"));
    w->searchField()->insert(QStringLiteral("炎"));
    EXPECT_EQ(listed(w), QStringList { "心筋炎" }) << "results as you type";
    EXPECT_EQ(w->results()->currentRow(), 0);
    EXPECT_EQ(w->entry()->toPlainText(),
        QStringLiteral("見出し:\n心筋炎\n\n読み:\nしんきんえん\n\n意味:\ninflammation of the heart muscle"));
    EXPECT_TRUE(w->browser().history().isEmpty()) << "typing alone keeps no history";

    QTest::keyClicks(w->searchField(), QStringLiteral("x"));
    EXPECT_TRUE(listed(w).isEmpty());
    EXPECT_EQ(w->entry()->toPlainText(), QString());
    EXPECT_EQ(w->status()->text(), QStringLiteral("見つかりませんでした"));

    // The second mode: entries whose text mentions the word.
    w->searchField()->setText(QStringLiteral("inflammation"));
    w->setMode(DictionaryWindow::Mode::Mentions);
    EXPECT_EQ(listed(w), (QStringList { "心筋炎", "肺炎" }));

    // Light and dark palettes, for a person to look at.
    w->searchField()->setText(QStringLiteral("投与"));
    w->setMode(DictionaryWindow::Mode::Headword);
    picture(w, QStringLiteral("dictionary-window-light.png"));
    w->setPalette(darkPalette());
    picture(w, QStringLiteral("dictionary-window-dark.png"));
}

TEST_F(DictionaryWindowTest, BackAndForwardThroughTheWordsLookedUp)
{
    DictionaryWindow *w = DictionaryWindow::open(&m_top, *m_manager, QStringLiteral("肺炎"));
    EXPECT_FALSE(w->backButton()->isEnabled());
    w->searchField()->setText(QStringLiteral("心筋"));
    QTest::keyClick(w->searchField(), Qt::Key_Return);
    EXPECT_EQ(w->browser().history(), (QStringList { "肺炎", "心筋梗塞" }))
        << "Enter keeps the first headword";
    ASSERT_TRUE(w->backButton()->isEnabled());
    w->backButton()->click();
    EXPECT_EQ(w->searchField()->text(), QStringLiteral("肺炎"));
    EXPECT_EQ(listed(w), QStringList { "肺炎" });
    EXPECT_TRUE(w->entry()->toPlainText().contains(QStringLiteral("inflammation of the lungs")));
    ASSERT_TRUE(w->forwardButton()->isEnabled());
    w->forwardButton()->click();
    EXPECT_EQ(w->searchField()->text(), QStringLiteral("心筋梗塞"));
    EXPECT_FALSE(w->forwardButton()->isEnabled());

    w->clearHistoryButton()->click();
    EXPECT_TRUE(w->browser().history().isEmpty());
    EXPECT_FALSE(w->backButton()->isEnabled());
    EXPECT_FALSE(w->clearHistoryButton()->isEnabled());
}

// 「投与された」 selected in a book: the pop-over shows 「投与」 as the
// dictionary form, and its button opens the same word in the window.
TEST_F(DictionaryWindowTest, InflectedSelectionFromTheReaderToTheWindow)
{
    m_menu = std::make_unique<ReaderDictMenu>(*m_manager, &m_top);
    ASSERT_TRUE(m_menu->showFor(QStringLiteral("投与された"), m_top.mapToGlobal(QPoint(600, 200))));
    ReaderDictVC *vc = m_menu->dictVC();
    ASSERT_TRUE(waitUntil([&] { return vc->isVisible(); }));
    EXPECT_EQ(vc->foundForm().text, QStringLiteral("投与"));
    EXPECT_EQ(vc->foundForm().rule, LookupForm::Rule::Lemma) << "the dictionary form, not a leading part";
    EXPECT_EQ(vc->formLabel()->text(), QStringLiteral("「投与」として検索しました"))
        << "as the selection shows it";
    EXPECT_TRUE(vc->text()->toPlainText().startsWith(QStringLiteral("見出し:\n投与\n")));

    vc->windowButton()->click();
    EXPECT_TRUE(waitUntil([&] { return !vc->isVisible(); })) << "the pop-over makes way";
    auto *w = m_top.findChild<DictionaryWindow *>();
    ASSERT_TRUE(w);
    ASSERT_TRUE(waitUntil([&] { return w->isVisible(); }));
    EXPECT_EQ(w->searchField()->text(), QStringLiteral("投与"));
    EXPECT_EQ(listed(w), (QStringList { "投与", "投与量" }));
    EXPECT_TRUE(w->entry()->toPlainText().startsWith(QStringLiteral("見出し:\n投与\n")));
    EXPECT_EQ(w->browser().history(), QStringList { "投与" });
}

// Closed and opened again, or made anew as in a later run, the window comes
// back in the mode and with the text it was left with; a word from the
// reader is still a headword look-up; clearing the history forgets the text.
TEST_F(DictionaryWindowTest, KeepsItsModeAndWordBetweenOpeningsAndRuns)
{
    DictionaryWindow *w = DictionaryWindow::open(&m_top, *m_manager);
    ASSERT_TRUE(waitUntil([&] { return !w->isIndexing(); }));
    w->setMode(DictionaryWindow::Mode::Mentions);
    w->searchField()->setText(QStringLiteral("inflammation"));
    w->close();
    ASSERT_TRUE(waitUntil([&] { return !w->isVisible(); }));
    ASSERT_EQ(DictionaryWindow::open(&m_top, *m_manager), w);
    EXPECT_EQ(w->mode(), DictionaryWindow::Mode::Mentions);
    EXPECT_EQ(w->searchField()->selectedText(), QStringLiteral("inflammation")) << "typing replaces it";

    delete w;
    w = DictionaryWindow::open(&m_top, *m_manager);
    EXPECT_EQ(w->mode(), DictionaryWindow::Mode::Mentions);
    EXPECT_EQ(w->searchField()->text(), QStringLiteral("inflammation"));
    EXPECT_EQ(listed(w), (QStringList { "心筋炎", "肺炎" }));
    EXPECT_TRUE(w->entry()->toPlainText().contains(QStringLiteral("inflammation of the heart muscle")));

    EXPECT_EQ(DictionaryWindow::open(&m_top, *m_manager, QStringLiteral("投与")), w);
    EXPECT_EQ(w->mode(), DictionaryWindow::Mode::Headword);
    EXPECT_EQ(listed(w), (QStringList { "投与", "投与量" }));

    w->clearHistoryButton()->click();
    delete w;
    w = DictionaryWindow::open(&m_top, *m_manager);
    EXPECT_EQ(w->mode(), DictionaryWindow::Mode::Headword);
    EXPECT_EQ(w->searchField()->text(), QString()) << "clearing the history forgets the word";
}

TEST_F(DictionaryWindowTest, NoEnabledDictionarySaysSo)
{
    EXPECT_GE(store().removeAll<DictionaryMaster>(), 0);
    DictionaryWindow *w = DictionaryWindow::open(&m_top, *m_manager, QStringLiteral("投与"));
    EXPECT_TRUE(listed(w).isEmpty());
    EXPECT_TRUE(w->status()->text().startsWith(QStringLiteral("使える辞書がありません")));
}

} // namespace
