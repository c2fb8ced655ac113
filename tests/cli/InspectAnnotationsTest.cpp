// tavro-inspect annotations: a book's annotations from a library home.
#include "Inspect.h"
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/reader/ReaderAnnotations.h"

#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

TEST(InspectAnnotations, MarkdownJsonAndErrors)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Documents")));
    // The inspector takes the store in the home's Documents folder.
    LibraryStore store;
    ASSERT_TRUE(store.open(home.filePath(QStringLiteral("Documents/Tavro.sqlite"))));
    const Library library(store);
    BookMetaData book;
    book.BookID = 5;
    book.identifier = QStringLiteral("urn:cli");
    book.fileName = QStringLiteral("pharma.epub");
    book.title = QStringLiteral("薬理学");
    ASSERT_TRUE(store.insert(book));
    AnnotationPage page;
    page.bookID = 5;
    page.pageIdx = 1;
    page.contentTitle = QStringLiteral("第1章");
    page.metaBookID = book.identifier;
    BookHighlightMemo r
        = *ReaderAnnotations(library.annotations())
               .highlight(page, QStringLiteral("{\"startQmNodeNo\":1,\"startQmNodeOffset\":0}"),
                   QStringLiteral("{\"endQmNodeNo\":1,\"endQmNodeOffset\":3}"), QStringLiteral("用量"))
               .record;
    ReaderAnnotations(library.annotations()).saveMemo(r, QStringLiteral("腎機能で調整"));
    ReaderAnnotations(library.annotations()).setBookmark(5, 3, true, QStringLiteral("c3"), book.identifier);
    store.close();

    const ProcessResult md = inspect({ QStringLiteral("annotations"), QStringLiteral("pharma.epub"),
        QStringLiteral("--home"), home.path(), QStringLiteral("--format"), QStringLiteral("markdown") });
    ASSERT_EQ(md.exitCode, 0) << md.err.constData();
    const QString text = QString::fromUtf8(md.out);
    for (const char *expected :
        { "# 薬理学", "## 第1章", "> 用量", "メモ: 腎機能で調整", "- しおり (4ページ)" })
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << md.out.constData();

    const ProcessResult json = inspect({ QStringLiteral("annotations"), QStringLiteral("pharma.epub"),
        QStringLiteral("--home"), home.path() });
    ASSERT_EQ(json.exitCode, 0) << json.err.constData();
    const QVariantMap m = QJsonDocument::fromJson(json.out).toVariant().toMap();
    EXPECT_EQ(m.value(QStringLiteral("memos")).toList().size(), 1);
    EXPECT_EQ(m.value(QStringLiteral("bookmarks")).toList().size(), 1);

    struct Case {
        QStringList args;
        int code;
    };
    const Case cases[] = {
        { { QStringLiteral("missing.epub"), QStringLiteral("--home"), home.path() }, 1 },
        { { QStringLiteral("pharma.epub") }, 2 },
        { { QStringLiteral("pharma.epub"), QStringLiteral("--home"), home.path(), QStringLiteral("--format"),
              QStringLiteral("html") },
            2 },
    };
    for (const Case &c : cases) {
        const ProcessResult r = inspect(QStringList { QStringLiteral("annotations") } + c.args);
        EXPECT_EQ(r.exitCode, c.code) << c.args.join(u' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << c.args.join(u' ').toStdString();
    }
}

} // namespace
