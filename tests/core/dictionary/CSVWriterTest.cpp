#include "core/dictionary/CSVWriter.h"
#include "core/dictionary/CSVConvenience.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

QByteArray written(const char *encoding, QChar delimiter, const std::function<void(CSVWriter &)> &write)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->open(QIODevice::WriteOnly);
    QBuffer *raw = buffer.get();
    QByteArray out;
    {
        CSVWriter w(std::move(buffer), encoding, delimiter);
        write(w);
        out = raw->data();
    }
    return out;
}

TEST(CSVWriter, QuotingTable)
{
    const std::pair<QVariant, const char *> cases[] = {
        { QStringLiteral("plain"), "plain" },
        { QStringLiteral("1\"2"), "\"1\"\"2\"" },
        { QStringLiteral("a\nb"), "\"a\nb\"" },
        { QStringLiteral("a,b"), "\"a,b\"" },
        { QStringLiteral("a;b"), "a;b" },
        { 12, "12" },
        { QVariant(), "" },
    };
    for (const auto &[field, expected] : cases) {
        const QByteArray out = written("UTF-8", u',', [&](CSVWriter &w) { w.writeField(field); });
        EXPECT_EQ(out, QByteArray(expected)) << field.toString().toStdString();
    }
    EXPECT_EQ(written("UTF-8", u';',
                  [](CSVWriter &w) {
                      w.writeLineOfFields({ QStringLiteral("a;b"), QStringLiteral("c,d") });
                  }),
        QByteArray("\"a;b\";c,d\n"));
}

TEST(CSVWriter, LinesCommentsAndByteOrderMark)
{
    const QByteArray out = written("UTF-8", u',', [](CSVWriter &w) {
        w.writeField(QStringLiteral("a"));
        w.writeLineOfFields({ QStringLiteral("b"), QStringLiteral("c") });
        w.writeComment(QStringLiteral("one\ntwo"));
        w.writeField(QStringLiteral("d"));
        w.finishLine();
    });
    EXPECT_EQ(out, QByteArray("a\nb,c\n#one\n#two\nd\n"));

    const QByteArray utf16 = written("UTF-16", u',', [](CSVWriter &w) {
        w.writeLineOfFields({ QStringLiteral("医"), QStringLiteral("x") });
    });
    // ICU's "UTF-16" writes the little-endian mark.
    EXPECT_TRUE(utf16.startsWith("\xFF\xFE")) << "the mark at the start";
    EXPECT_EQ(utf16.count(QByteArray("\xFF\xFE")), 1) << "and only once";
    EXPECT_EQ(utf16.size(), 2 + 2 * 4);
    EXPECT_EQ(CSVComponents(QString(), 0).value().size(), 1);

    // What the writer writes, the reader reads back.
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("u16.csv")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(utf16);
    f.close();
    EXPECT_EQ(arrayWithContentsOfCSVFile(f.fileName(), 2).value().first(), (QStringList { "医", "x" }));
}

TEST(CSVWriter, CSVStringRoundTrips)
{
    const QVariantList rows { QVariantList { QStringLiteral("word"), QStringLiteral("a \"quoted\", text") },
        QStringLiteral("not a row"), QStringList { QStringLiteral("line\nbreak"), QString() } };
    const QString text = CSVString(rows);
    EXPECT_EQ(CSVComponents(text, 2).value(),
        (QList<QStringList> { { "word", "a \"quoted\", text" }, { "line\nbreak", "" }, { "" } }));
}

} // namespace
