#include "core/dictionary/CSVParser.h"
#include "core/dictionary/CSVAggregator.h"
#include "core/dictionary/CSVConvenience.h"

#include <QBuffer>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

using Records = QList<QStringList>;

struct ParseCase {
    const char *name;
    const char *input;
    int options;
    std::optional<Records> expected;
};

TEST(CSVParser, RecordsAndFieldsTable)
{
    const ParseCase cases[] = {
        { "trailing newline gives an empty record", "a,b\n", 0, Records { { "a", "b" }, { "" } } },
        { "no trailing newline", "a,b", 0, Records { { "a", "b" } } },
        { "blank lines are skipped", "a\n\n\r\nb", 0, Records { { "a" }, { "b" } } },
        { "empty input", "", 0, Records { { "" } } },
        { "short and long rows", "1,2,3\n4", 0, Records { { "1", "2", "3" }, { "4" } } },
        { "quotes kept when not sanitizing", "\"x\"\"y\",z", 0, Records { { "\"x\"\"y\"", "z" } } },
        { "quotes removed when sanitizing", "\"x\"\"y\",z", 2, Records { { "x\"y", "z" } } },
        { "newline and delimiter inside quotes", "\"a,\nb\",c", 2, Records { { "a,\nb", "c" } } },
        { "unterminated quote drops the field", "a,\"bc", 2, Records { { "a" } } },
        { "quote inside an unquoted field fails", "a,b\"c", 0, std::nullopt },
        { "comments when recognised", "#note\na,b\n#x\nc", 6, Records { { "a", "b" }, { "c" } } },
        { "comments are data otherwise", "#note\na", 0, Records { { "#note" }, { "a" } } },
        { "backslash escapes", "a\\,b,\"c\\\"d\"", 3, Records { { "a,b", "c\"d" } } },
        { "backslashes are data otherwise", "a\\b", 2, Records { { "a\\b" } } },
        { "whitespace stripped", "  a  ,\t b \n", 10, Records { { "a", "b" }, { "" } } },
        { "whitespace stripped, raw", "  a  , \"b\" ", 8, Records { { "a", "\"b\"" } } },
        { "whitespace kept", " a ", 0, Records { { " a " } } },
        { "unicode line separator ends a record", "a\u2028b", 0, Records { { "a" }, { "b" } } },
    };
    for (const ParseCase &c : cases) {
        const auto got = CSVComponents(QString::fromUtf8(c.input), c.options);
        EXPECT_EQ(got.has_value(), c.expected.has_value()) << c.name;
        if (got && c.expected) {
            EXPECT_EQ(*got, *c.expected) << c.name;
        }
    }
}

TEST(CSVParser, OtherDelimiters)
{
    EXPECT_EQ(CSVComponents(QStringLiteral("a,b;c"), 0, u';').value(), (Records { { "a,b", "c" } }));
    EXPECT_EQ(CSVComponents(QStringLiteral("a\tb"), 0, u'\t').value(), (Records { { "a", "b" } }));
}

class Recorder : public CSVParserDelegate
{
public:
    QStringList events;
    int cancelAfterFields = -1;
    void parserDidBeginDocument(CSVParser *) override { events << "begin"; }
    void didBeginLine(CSVParser *, quint64 n) override { events << QStringLiteral("line %1").arg(n); }
    void didReadField(CSVParser *p, const QString &f, qint64 i) override
    {
        events << QStringLiteral("field %1 %2").arg(i).arg(f);
        if (--cancelAfterFields == 0)
            p->cancelParsing();
    }
    void didReadComment(CSVParser *, const QString &c) override { events << "comment " + c; }
    void didEndLine(CSVParser *, quint64 n) override { events << QStringLiteral("end %1").arg(n); }
    void parserDidEndDocument(CSVParser *) override { events << "done"; }
    void didFailWithError(CSVParser *, const CSVError &e) override
    {
        events << QStringLiteral("error %1 %2").arg(e.code).arg(e.description);
    }
};

TEST(CSVParser, EventsErrorsAndCancelling)
{
    Recorder r;
    auto p = CSVParser::withString(QStringLiteral("#c\na,b\"x"));
    p->setRecognizesComments(true);
    p->setDelegate(&r);
    p->parse();
    EXPECT_EQ(r.events,
        (QStringList { "begin", "comment c", "line 1", "field 0 a", "field 1 b", "end 1",
            "error 1 Unexpected delimiter. Expected ',' (0x2C), but got '\"' (0x22)" }));

    Recorder cancel;
    cancel.cancelAfterFields = 1;
    auto q = CSVParser::withString(QStringLiteral("a,b,c\nd"));
    q->setDelegate(&cancel);
    q->parse();
    EXPECT_EQ(cancel.events, (QStringList { "begin", "line 1", "field 0 a", "done" }))
        << "nothing after the cancel but the document end";
}

QByteArray parseBytesFirstField(const QByteArray &bytes, CSVEncoding *sniffed)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    CSVEncoding encoding = CSVEncoding::Unknown;
    CSVParser parser(std::move(buffer), &encoding);
    CSVAggregator agg;
    parser.setDelegate(&agg);
    parser.parse();
    *sniffed = encoding;
    return agg.lines && !agg.lines->isEmpty() ? agg.lines->first().join(u'|').toUtf8() : QByteArray("<none>");
}

TEST(CSVParser, EncodingSniffing)
{
    const QString text = QStringLiteral("医学,b");
    auto enc = [&](const char *name) {
        QStringEncoder e(name);
        return QByteArray(e.encode(text));
    };
    struct Case {
        const char *name;
        QByteArray bytes;
        CSVEncoding encoding;
        QByteArray firstRecord;
    };
    const Case cases[] = {
        { "UTF-8 without mark", text.toUtf8(), CSVEncoding::UTF8, "医学|b" },
        { "UTF-8 with mark", "\xEF\xBB\xBF" + text.toUtf8(), CSVEncoding::UTF8, "医学|b" },
        { "UTF-16 LE with mark", QByteArray("\xFF\xFE", 2) + enc("UTF-16LE"), CSVEncoding::UTF16LE,
            "医学|b" },
        { "UTF-16 BE with mark", QByteArray("\xFE\xFF", 2) + enc("UTF-16BE"), CSVEncoding::UTF16BE,
            "医学|b" },
        { "UTF-32 LE with mark", QByteArray("\xFF\xFE\x00\x00", 4) + enc("UTF-32LE"), CSVEncoding::UTF32LE,
            "医学|b" },
        { "UTF-32 BE with mark", QByteArray("\x00\x00\xFE\xFF", 4) + enc("UTF-32BE"), CSVEncoding::UTF32BE,
            "医学|b" },
        { "Mac OS Roman fallback", QByteArray("caf\x8E,xyz\n"), CSVEncoding::MacOSRoman, "café|xyz" },
        // Only the last three bytes may be cut off a UTF-8 character.
        { "short input with a bad last byte", QByteArray("caf\x8E"), CSVEncoding::UTF8, "caf" },
    };
    for (const Case &c : cases) {
        CSVEncoding sniffed = CSVEncoding::Unknown;
        EXPECT_EQ(parseBytesFirstField(c.bytes, &sniffed), c.firstRecord) << c.name;
        EXPECT_EQ(sniffed, c.encoding) << c.name;
    }
}

TEST(CSVParser, CharacterSplitAcrossReadsAndLongFields)
{
    // "医" (3 bytes) straddles the first 512-byte read; a field of 200,000
    // characters spans hundreds of reads.
    QByteArray bytes(511, 'x');
    bytes += "医,";
    const QString longField(200000, QChar(0x8840));
    bytes += longField.toUtf8() + "\nlast";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("split.csv"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    const auto records = arrayWithContentsOfCSVFile(path);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 2);
    EXPECT_EQ(records->at(0).at(0), QString(511, u'x') + QStringLiteral("医"));
    EXPECT_EQ(records->at(0).at(1), longField);
    EXPECT_EQ(records->at(1), QStringList { "last" });
}

TEST(CSVParser, UndecodableBytesEndTheInput)
{
    auto buffer = std::make_unique<QBuffer>();
    QByteArray bytes = "a,b\nc,d\n";
    bytes += "e\xFF\xFE\xFD";
    bytes += QByteArray(100000, 'z');
    buffer->setData(bytes);
    CSVEncoding utf8 = CSVEncoding::UTF8;
    CSVParser parser(std::move(buffer), &utf8);
    CSVAggregator agg;
    parser.setDelegate(&agg);
    parser.parse();
    ASSERT_TRUE(agg.lines.has_value());
    EXPECT_EQ(agg.lines->first(), (QStringList { "a", "b" }));
    EXPECT_EQ(agg.lines->last(), QStringList { "e" }) << "parsing ends at the bad bytes";
}

TEST(CSVParser, MissingFileIsAnError)
{
    EXPECT_FALSE(arrayWithContentsOfCSVFile(QStringLiteral("/nonexistent/x.csv")).has_value());
}

} // namespace
