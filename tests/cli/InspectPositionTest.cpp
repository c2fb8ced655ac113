// tavro-inspect position: where a book of a library home was left.
#include "Inspect.h"
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/reader/ReadingState.h"
#include "support/TextEpub.h"

#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

TEST(InspectPosition, PrintsSpineIndexAnchorAndShare)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Documents")));
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral(".data/contents")));
    // 5 and 15 characters of text.
    ASSERT_TRUE(
        writeTextEpub(home.filePath(QStringLiteral(".data/contents/place.epub")), QStringLiteral("本"),
            { { QStringLiteral("一"), "<p>abcde</p>" },
                { QStringLiteral("二"), "<p>fghij klmno</p><p>pqrst</p>" } }));
    LibraryStore store;
    ASSERT_TRUE(store.open(home.filePath(QStringLiteral("Documents/Tavro.sqlite"))));
    const Library library(store);
    for (const auto &[id, name] : { std::pair { 1, "place.epub" }, std::pair { 2, "unread.epub" } }) {
        BookMetaData book;
        book.BookID = id;
        book.fileName = QString::fromLatin1(name);
        ASSERT_TRUE(store.insert(book));
    }
    ReadingPlace place = ReadingPlace::at(1, 0.5);
    place.path = QStringLiteral("/1");
    place.offset = 2;
    ASSERT_TRUE(ReadingState::save(library.books(), 1, 1, 16, place));
    store.close();

    const ProcessResult r = inspect(
        { QStringLiteral("position"), QStringLiteral("place.epub"), QStringLiteral("--home"), home.path() });
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QVariantMap m = QJsonDocument::fromJson(r.out).toVariant().toMap();
    EXPECT_EQ(m.value(QStringLiteral("spineIndex")).toInt(), 1);
    EXPECT_EQ(m.value(QStringLiteral("anchor")).toMap().value(QStringLiteral("path")), QStringLiteral("/1"));
    EXPECT_EQ(m.value(QStringLiteral("anchor")).toMap().value(QStringLiteral("offset")).toInt(), 2);
    EXPECT_DOUBLE_EQ(m.value(QStringLiteral("share")).toDouble(), (5 + 0.5 * 15) / 20.0) << r.out.constData();

    struct Case {
        QStringList args;
        int code;
    };
    const Case cases[] = {
        { { QStringLiteral("missing.epub"), QStringLiteral("--home"), home.path() }, 1 },
        { { QStringLiteral("unread.epub"), QStringLiteral("--home"), home.path() }, 1 }, // no file
        { { QStringLiteral("place.epub") }, 2 },
        { { QStringLiteral("place.epub"), QStringLiteral("--home") }, 2 },
    };
    for (const Case &c : cases) {
        const ProcessResult e = inspect(QStringList { QStringLiteral("position") } + c.args);
        EXPECT_EQ(e.exitCode, c.code) << c.args.join(u' ').toStdString();
        EXPECT_FALSE(e.err.isEmpty()) << c.args.join(u' ').toStdString();
    }
}

} // namespace
