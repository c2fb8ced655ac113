// The reader's dictionary pop-over and its context-menu item.
#include "core/dictionary/DictionaryManager.h"
#include "support/DarkPalette.h"
#include "support/LibraryFixture.h"
#include "support/Wait.h"
#include "ui/reader/ReaderDictMenu.h"
#include "ui/reader/ReaderDictVC.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <gtest/gtest.h>

namespace
{

class ReaderDictTest : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        ASSERT_TRUE(m_dir.isValid());
        m_manager
            = std::make_unique<DictionaryManager>(store(), m_dir.filePath(QStringLiteral("Dic.sqlite")));
        const QString csv = m_dir.filePath(QStringLiteral("d.csv"));
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("見出し,読み,意味\r\n"
                "高血圧,こうけつあつ,hypertension\r\n"
                "心筋梗塞,しんきんこうそく,myocardial infarction\r\n"
                "心筋炎,しんきんえん,myocarditis\r\n"
                "心筋症,しんきんしょう,cardiomyopathy\r\n"
                "vertebra,,a bone of the spinal column\r\n"
                "腫れる,はれる,to swell\r\n");
        f.close();
        ASSERT_TRUE(m_manager->expandDic(csv,
            { { QStringLiteral("bookId"), QStringLiteral("d") },
                { QStringLiteral("bookTitle"), QStringLiteral("d") } },
            csv));
        m_reader.resize(800, 600);
        m_reader.show();
    }
    void TearDown() override
    {
        m_menu.reset();
        m_manager.reset();
        LibraryFixture::TearDown();
    }

    ReaderDictMenu &menu()
    {
        if (!m_menu)
            m_menu = std::make_unique<ReaderDictMenu>(*m_manager, &m_reader);
        return *m_menu;
    }
    ReaderDictVC *shown(const QString &selection)
    {
        const QPoint at = m_reader.mapToGlobal(QPoint(600, 200));
        if (!menu().showFor(selection, at))
            return nullptr;
        ReaderDictVC *vc = menu().dictVC();
        return waitUntil([&] { return vc->isVisible(); }) ? vc : nullptr;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<DictionaryManager> m_manager;
    QWidget m_reader;
    std::unique_ptr<ReaderDictMenu> m_menu;
};

TEST_F(ReaderDictTest, OneHitCollapsesTheList)
{
    ReaderDictVC *vc = shown(QStringLiteral("高血圧"));
    ASSERT_TRUE(vc);
    EXPECT_EQ(vc->split()->sizes().value(0), 0);
    EXPECT_EQ(vc->tableView()->currentRow(), 0);
    EXPECT_EQ(vc->text()->toPlainText(),
        QStringLiteral("見出し:\n高血圧\n\n読み:\nこうけつあつ\n\n意味:\nhypertension"));
}

TEST_F(ReaderDictTest, SeveralHitsListBoldHeadwordsAndChooseRowZero)
{
    ReaderDictVC *vc = shown(QStringLiteral("心筋"));
    ASSERT_TRUE(vc);
    ASSERT_EQ(vc->tableView()->count(), 3);
    EXPECT_GT(vc->split()->sizes().value(0), 0) << "the list shows beside the entry";
    EXPECT_EQ(vc->tableView()->currentRow(), 0);
    const QFont font = vc->tableView()->item(0)->font();
    EXPECT_TRUE(font.bold());
    EXPECT_EQ(font.pointSize(), 14);
    EXPECT_TRUE(
        vc->text()->toPlainText().startsWith(QStringLiteral("見出し:\n") + vc->tableView()->item(0)->text()));

    // The keyboard moves through the headwords; the entry follows.
    QTest::keyClick(vc->tableView(), Qt::Key_Down);
    QTest::keyClick(vc->tableView(), Qt::Key_Down);
    EXPECT_EQ(vc->tableView()->currentRow(), 2);
    EXPECT_TRUE(
        vc->text()->toPlainText().startsWith(QStringLiteral("見出し:\n") + vc->tableView()->item(2)->text()));
    QTest::keyClick(vc->tableView(), Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return !vc->isVisible(); })) << "Escape closes it";
}

TEST_F(ReaderDictTest, ShowsTheFormThatMatched)
{
    const struct {
        const char *selection;
        const char *label;
    } cases[] = {
        { "高血圧", "「高血圧」" }, { "Vertebrae", "「vertebra」として検索しました" },
        { "高血圧症の患者", "「高血圧」として検索しました" },
        { "腫れていた", "辞書形「腫れる」として検索しました" }, // not as the selection shows it
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.selection);
        ReaderDictVC *vc = shown(QString::fromUtf8(c.selection));
        ASSERT_TRUE(vc);
        EXPECT_EQ(vc->formLabel()->text(), QString::fromUtf8(c.label));
        vc->close();
    }
}

TEST_F(ReaderDictTest, DictionaryWithoutColumnSettingsShowsAnEmptyEntry)
{
    EXPECT_GE(store().removeAll<DictionarySettingItem>(), 0);
    ReaderDictVC *vc = shown(QStringLiteral("高血圧"));
    ASSERT_TRUE(vc);
    EXPECT_EQ(vc->tableView()->count(), 1);
    EXPECT_EQ(vc->text()->toPlainText(), QString());
}

TEST_F(ReaderDictTest, MenuItemOnlyWhenTheSelectionHasEntries)
{
    const struct {
        const char *selection;
        int count; // rows in the item; 0: no item
    } cases[] = { { "心筋", 3 }, { "vertebrae", 1 }, { "femur", 0 }, { "", 0 }, { "  ", 0 } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.selection);
        QMenu m;
        m.addAction(QStringLiteral("コピー"));
        QAction *item = menu().addTo(&m, QString::fromUtf8(c.selection), QPoint(10, 10));
        EXPECT_EQ(item != nullptr, c.count > 0);
        EXPECT_EQ(m.actions().size(), c.count > 0 ? 2 : 1) << "the other items stay";
        if (item) {
            EXPECT_EQ(item->text(), QStringLiteral("辞書"));
            EXPECT_EQ(item->data().toMap().value(QStringLiteral("count")).toInt(), c.count);
        }
    }
}

TEST_F(ReaderDictTest, ChoosingTheMenuItemOpensThePopOver)
{
    QMenu m;
    QAction *item = menu().addTo(&m, QStringLiteral("心筋梗塞"), m_reader.mapToGlobal(QPoint(600, 200)));
    ASSERT_TRUE(item);
    EXPECT_EQ(menu().dictVC(), nullptr) << "made on first use";
    item->trigger();
    ASSERT_TRUE(menu().dictVC());
    ASSERT_TRUE(waitUntil([&] { return menu().dictVC()->isVisible(); }));
    EXPECT_EQ(menu().dictVC()->tableView()->currentItem()->text(), QStringLiteral("心筋梗塞"));
}

// In a window with a toolbar, wherever the look-up happens, the pop-over
// stays inside the screen below the toolbar, shrunk when the window is small.
TEST_F(ReaderDictTest, PopOverStaysInsideTheReaderAndOffTheToolbar)
{
    for (const QSize windowSize : { QSize(900, 640), QSize(420, 300) }) {
        QMainWindow window;
        QToolBar *bar = window.addToolBar(QStringLiteral("toolbar"));
        bar->addAction(QStringLiteral("しおり"));
        auto *reader = new QWidget;
        window.setCentralWidget(reader);
        window.resize(windowSize);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ReaderDictMenu dict(*m_manager, reader);
        const QRect inside(reader->mapToGlobal(QPoint(0, 0)), reader->size());
        const QRect toolbar(bar->mapToGlobal(QPoint(0, 0)), bar->size());
        const QPoint points[] = { { 2, 2 }, { reader->width() - 2, reader->height() - 2 },
            { reader->width() / 2, reader->height() / 2 }, { 3, reader->height() - 3 },
            { reader->width() - 3, 1 } };
        for (const QPoint &p : points) {
            SCOPED_TRACE(QStringLiteral("window %1x%2 at %3,%4")
                             .arg(windowSize.width())
                             .arg(windowSize.height())
                             .arg(p.x())
                             .arg(p.y())
                             .toStdString());
            ASSERT_TRUE(dict.showFor(QStringLiteral("心筋"), reader->mapToGlobal(p)));
            ReaderDictVC *vc = dict.dictVC();
            ASSERT_TRUE(waitUntil([&] { return vc->isVisible(); }));
            const QRect popOver = vc->frameGeometry();
            EXPECT_TRUE(inside.contains(popOver))
                << popOver.x() << "," << popOver.y() << " " << popOver.width() << "x" << popOver.height();
            EXPECT_FALSE(popOver.intersects(toolbar));
            vc->close();
        }
    }
}

// Headwords of the 14-point bold font fit their column, which never scrolls
// sideways.
TEST_F(ReaderDictTest, LongBoldHeadwordsFitTheirColumn)
{
    ReaderDictVC vc(*m_manager, &m_reader);
    DictionaryLookup found;
    found.selection = QStringLiteral("甲状腺");
    found.form = { QStringLiteral("甲状腺"), LookupForm::Rule::Selection };
    for (const char *word : { "甲状腺機能亢進症", "electroencephalography", "心電図" })
        found.rows.append(
            { { QStringLiteral("word"), QString::fromUtf8(word) }, { QStringLiteral("dicId"), 1 } });
    vc.setLookup(found);
    vc.reloadDict();
    vc.popUp(m_reader.mapToGlobal(QPoint(700, 200)));
    ASSERT_TRUE(waitUntil([&] { return vc.isVisible(); }));
    QListWidget *list = vc.tableView();
    EXPECT_TRUE(waitUntil([&] { return list->viewport()->width() >= list->sizeHintForColumn(0); }, 3000))
        << "column " << list->viewport()->width() << " px, widest headword " << list->sizeHintForColumn(0)
        << " px";
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());

    vc.grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-dict-popover-light.png"));
    vc.setPalette(darkPalette());
    vc.grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-dict-popover-dark.png"));
}

TEST_F(ReaderDictTest, NoEnabledDictionaryNoItem)
{
    EXPECT_GE(store().removeAll<DictionaryMaster>(), 0);
    QMenu m;
    EXPECT_EQ(menu().addTo(&m, QStringLiteral("高血圧"), QPoint()), nullptr);
    EXPECT_FALSE(menu().showFor(QStringLiteral("高血圧"), QPoint()));
}

} // namespace
