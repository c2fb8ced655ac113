// Paging through an EPUB book with the keyboard, screen by screen and on
// across spine items, and vertical writing.
#include "core/platform/DataFolder.h"
#include "core/reader/WritingMode.h"
#include "support/TextEpub.h"
#include "ui/AppShellFixture.h"
#include "ui/reader/ReaderVC.h"

#include <QAction>
#include <QDir>

namespace
{

// Chapters long enough for several screens.
QList<TextChapter> longChapters(int count)
{
    QList<TextChapter> chapters;
    for (int c = 1; c <= count; ++c) {
        QByteArray body = "<h1 id=\"top\">Chapter " + QByteArray::number(c) + "</h1>";
        for (int p = 1; p <= 150; ++p)
            body += "<p>Chapter " + QByteArray::number(c) + ", paragraph " + QByteArray::number(p)
                + ": the heart pumps blood through the body.</p>";
        body += "<p id=\"last\">The end of chapter " + QByteArray::number(c) + ".</p>";
        chapters.append({ QStringLiteral("Chapter %1").arg(c), body });
    }
    return chapters;
}

// A Japanese book whose package asks for vertical writing (right-to-left
// page progression), one long chapter.
bool writeVerticalBook(const QString &path)
{
    QByteArray body;
    for (int p = 1; p <= 300; ++p)
        body += "<p>第" + QByteArray::number(p) + "段落。心臓は血液を全身に送り出す。縦書きで読む本文。</p>";
    const QByteArray chapter = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html "
                               "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>一</title></head><body>"
        + body + "</body></html>";
    const QByteArray opf
        = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><package xmlns=\"http://www.idpf.org/2007/opf\" "
          "version=\"3.0\" unique-identifier=\"id\"><metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
          "<dc:title>縦書きの本</dc:title><dc:identifier id=\"id\">urn:test:vertical</dc:identifier>"
          "<dc:language>ja</dc:language></metadata><manifest>"
          "<item id=\"c1\" href=\"c1.xhtml\" media-type=\"application/xhtml+xml\"/>"
          "<item id=\"c2\" href=\"c2.xhtml\" media-type=\"application/xhtml+xml\"/></manifest>"
          "<spine page-progression-direction=\"rtl\"><itemref idref=\"c1\"/><itemref idref=\"c2\"/></spine>"
          "</package>";
    return writeEpub(path, QStringLiteral("OEBPS/content.opf"),
        { { "OEBPS/content.opf", opf }, { "OEBPS/c1.xhtml", chapter }, { "OEBPS/c2.xhtml", chapter } });
}

class ReaderPagingTest : public AppShellTest
{
protected:
    // Writes the book `fileName` with `write` into the contents folder and
    // registers it.
    bool install(const QString &fileName, const std::function<bool(const QString &)> &write)
    {
        DataFolder::createContentsFolder();
        const QString path = DataFolder::contentsFolder() + u'/' + fileName;
        return write(path) && library().books().parseBook(path);
    }

    // The book `fileName` in the reader, its first page ready to be read.
    QPointer<ReaderVC> open(const QString &fileName)
    {
        m_app->config().remove(QStringLiteral("r_split"));
        m_app->changeToReader(ShelfVC::bookInfo(library(), fileName));
        QPointer<ReaderVC> reader = m_app->readerVC();
        if (!reader || !reader->epubPane())
            return nullptr;
        // The reader's keys belong to the active window.
        m_app->window()->activateWindow();
        if (!QTest::qWaitForWindowActive(m_app->window()))
            return nullptr;
        bool ready = false;
        const auto connection
            = QObject::connect(reader->epubPane(), &EpubPane::pageReady, reader, [&ready] { ready = true; });
        const bool shown
            = waitUntil([&] { return ready && reader && reader->epubPane()->web()->focusProxy(); });
        QObject::disconnect(connection);
        return shown ? reader : nullptr;
    }

    // A key pressed in the book view, where the reader's focus is.
    static void press(ReaderVC *reader, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(reader->epubPane()->web()->focusProxy(), key, mods);
    }

    // The page's scroll metrics along its reading axis.
    struct Axis {
        double offset = -1, viewport = 0, extent = 0, line = 0;
        QString file, writingMode;
    };
    static Axis axis(ReaderVC *reader)
    {
        const QVariantMap m = pageValue(reader->epubPane()->web(),
            QStringLiteral(
                "(function(){var se=document.scrollingElement;var cs=getComputedStyle(document.body);"
                "var v=cs.writingMode.indexOf('vertical')===0;"
                "return {offset: v ? -window.scrollX : window.scrollY,"
                " viewport: v ? se.clientWidth : se.clientHeight, extent: v ? se.scrollWidth : "
                "se.scrollHeight,"
                " line: parseFloat(cs.lineHeight) || parseFloat(cs.fontSize) * 1.2,"
                " file: location.pathname.split('/').pop(), writingMode: cs.writingMode};})()"))
                                  .toMap();
        Axis a;
        a.offset = m.value(QStringLiteral("offset"), -1).toDouble();
        a.viewport = m.value(QStringLiteral("viewport")).toDouble();
        a.extent = m.value(QStringLiteral("extent")).toDouble();
        a.line = m.value(QStringLiteral("line")).toDouble();
        a.file = m.value(QStringLiteral("file")).toString();
        a.writingMode = m.value(QStringLiteral("writingMode")).toString();
        return a;
    }
};

TEST_F(ReaderPagingTest, SpaceScrollsAScreenThenGoesOnToTheNextChapterAndBack)
{
    launch();
    ASSERT_TRUE(install(QStringLiteral("paging.epub"),
        [](const QString &path) { return writeTextEpub(path, QStringLiteral("Paging"), longChapters(3)); }));
    QPointer<ReaderVC> reader = open(QStringLiteral("paging.epub"));
    ASSERT_TRUE(reader);
    const Axis start = axis(reader);
    ASSERT_EQ(start.file, QStringLiteral("c1.xhtml"));
    ASSERT_GT(start.extent, 3 * start.viewport) << "several screens long";

    // One screen less a line of overlap.
    press(reader, Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return axis(reader).offset > 0; }));
    Axis a = axis(reader);
    EXPECT_NEAR(a.offset, a.viewport - a.line, 2.0);
    // Back by the same keys' other direction, and by Page Down / Down.
    press(reader, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_TRUE(waitUntil([&] { return axis(reader).offset == 0; }));
    for (const Qt::Key key : { Qt::Key_PageDown, Qt::Key_Down }) {
        const double before = axis(reader).offset;
        press(reader, key);
        EXPECT_TRUE(waitUntil([&] { return axis(reader).offset > before; })) << key;
    }

    // At the chapter's end Space shows the next chapter's start.
    pageValue(reader->epubPane()->web(), QStringLiteral("window.scrollTo(0, 1e9), 1"));
    ASSERT_TRUE(waitUntil([&] {
        const Axis e = axis(reader);
        return e.offset >= e.extent - e.viewport - 1;
    }));
    press(reader, Qt::Key_Space);
    ASSERT_TRUE(
        waitUntil([&] { return reader->page() == 1 && axis(reader).file == QStringLiteral("c2.xhtml"); }));
    EXPECT_EQ(axis(reader).offset, 0);
    EXPECT_EQ(reader->pageLabel()->text(), QStringLiteral("2/3"));

    // Page Up at its start lands at the end of the chapter before.
    press(reader, Qt::Key_PageUp);
    EXPECT_TRUE(waitUntil([&] {
        const Axis e = axis(reader);
        return e.file == QStringLiteral("c1.xhtml") && e.offset > 0 && e.offset >= e.extent - e.viewport - 1;
    })) << axis(reader).file.toStdString()
        << " at " << axis(reader).offset;
    EXPECT_EQ(reader->page(), 0);
    EXPECT_TRUE(pageValue(reader->epubPane()->web(),
        QStringLiteral(
            "document.getElementById('last').getBoundingClientRect().bottom <= window.innerHeight"))
                    .toBool())
        << "the chapter's last line is on screen";

    // Left and Right keep stepping chapters in a horizontal book.
    press(reader, Qt::Key_Right);
    EXPECT_TRUE(waitUntil([&] { return reader->page() == 1; }));
    press(reader, Qt::Key_Left);
    EXPECT_TRUE(waitUntil([&] { return reader->page() == 0; }));
}

TEST_F(ReaderPagingTest, VerticalBookIsShownVerticalAndItsToggleIsKept)
{
    launch();
    const QString key = WritingMode::keyFor(QStringLiteral("urn:test:vertical"));
    UserDefaults::remove(key);
    ASSERT_TRUE(install(QStringLiteral("vertical.epub"), writeVerticalBook));
    QPointer<ReaderVC> reader = open(QStringLiteral("vertical.epub"));
    ASSERT_TRUE(reader);
    QAction *toggle = reader->verticalAction();
    EXPECT_TRUE(toggle->isVisible());
    EXPECT_TRUE(toggle->isChecked());
    ASSERT_TRUE(waitUntil([&] { return axis(reader).writingMode == QStringLiteral("vertical-rl"); }))
        << axis(reader).writingMode.toStdString();
    const Axis start = axis(reader);
    ASSERT_GT(start.extent, 4 * start.viewport) << "lines run on leftwards";

    // Paging keys and the Left arrow move leftwards, a screen at a time.
    press(reader, Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return axis(reader).offset > 0; }));
    EXPECT_NEAR(axis(reader).offset, start.viewport - start.line, 2.0);
    const double afterSpace = axis(reader).offset;
    press(reader, Qt::Key_Left);
    EXPECT_TRUE(waitUntil([&] { return axis(reader).offset > afterSpace; }));
    EXPECT_NEAR(axis(reader).offset, afterSpace + start.viewport - start.line, 2.0) << "a screen, not a line";
    QDir().mkpath(QStringLiteral(TAVRO_ARTIFACTS_DIR));
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-vertical.png"));
    press(reader, Qt::Key_Right);
    EXPECT_TRUE(waitUntil([&] { return std::abs(axis(reader).offset - afterSpace) < 2; }));
    EXPECT_EQ(reader->page(), 0) << "the arrows page within the chapter";

    // The toggle shows horizontal lines and is kept for the book.
    toggle->trigger();
    EXPECT_TRUE(waitUntil([&] { return axis(reader).writingMode == QStringLiteral("horizontal-tb"); }));
    EXPECT_EQ(WritingMode::storedChoice(key), false);
    reader->goToPage(1);
    ASSERT_TRUE(waitUntil([&] { return axis(reader).file == QStringLiteral("c2.xhtml"); }));
    EXPECT_EQ(axis(reader).writingMode, QStringLiteral("horizontal-tb")) << "later pages too";

    // Reopened, the book is horizontal until switched back.
    m_app->changeToShelf();
    reader = open(QStringLiteral("vertical.epub"));
    ASSERT_TRUE(reader);
    EXPECT_FALSE(reader->verticalAction()->isChecked());
    EXPECT_EQ(axis(reader).writingMode, QStringLiteral("horizontal-tb"));
    reader->verticalAction()->trigger();
    EXPECT_TRUE(waitUntil([&] { return axis(reader).writingMode == QStringLiteral("vertical-rl"); }));
    EXPECT_EQ(WritingMode::storedChoice(key), true);
}

} // namespace
