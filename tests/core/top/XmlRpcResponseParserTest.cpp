// The XML-RPC response parser against answers written by Python's own
// xmlrpc.client, a peer we did not write.
#include "core/top/XmlRpcResponseParser.h"
#include "core/top/XmlRpcDescription.h"
#include "core/util/JsonWriter.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace
{

// Each case: the document Python writes and the typed value it means.
const char *kPython = R"PY(
import base64, datetime, json, xmlrpc.client as x

def typed(v):
    if isinstance(v, bool): return {"boolean": v}
    if isinstance(v, int): return {"int": v}
    if isinstance(v, float): return {"double": v}
    if isinstance(v, str): return {"string": v.strip()}
    if isinstance(v, x.DateTime): return {"date": datetime.datetime.strptime(v.value, "%Y%m%dT%H:%M:%S").isoformat()}
    if isinstance(v, x.Binary): return {"base64": base64.b64encode(v.data).decode()}
    if isinstance(v, dict): return {"struct": {k: typed(w) for k, w in v.items()}}
    if isinstance(v, (list, tuple)): return {"array": [typed(w) for w in v]}
    raise TypeError(v)

values = [
    ("int", 42), ("negative", -7), ("double", 1.25), ("exponent", 1e-7), ("true", True), ("false", False),
    ("string", "abc"), ("escaped", "a < b & c > d"), ("japanese", "心筋梗塞の治療"), ("padded", "  spaced  "),
    ("date", x.DateTime("20261209T12:30:05")), ("binary", x.Binary(bytes(range(256)) * 3)),
    ("struct", {"total": 3, "list": [{"date": "2026-12-07 09:00:00"}], "name": "x"}),
    ("array", [1, "two", 3.5, [True, {"k": "v"}]]), ("empty", []), ("emptyStruct", {}),
]
cases = [{"name": n, "xml": x.dumps((v,), methodresponse=True), "expect": typed(v), "fault": False} for n, v in values]
cases.append({"name": "fault", "xml": x.dumps(x.Fault(401, "Authentication failed"), methodresponse=True),
              "expect": typed({"faultCode": 401, "faultString": "Authentication failed"}), "fault": True})
print(json.dumps(cases))
)PY";

TEST(XmlRpcResponseParser, AgreesWithPythonsEncoder)
{
    QProcess python;
    python.start(QStringLiteral("python3"), { QStringLiteral("-c"), QString::fromUtf8(kPython) });
    ASSERT_TRUE(python.waitForFinished(30000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QVariantList cases = QJsonDocument::fromJson(python.readAllStandardOutput()).toVariant().toList();
    ASSERT_GE(cases.size(), 17);
    for (const QVariant &c : cases) {
        const QVariantMap m = c.toMap();
        const std::string name = m.value(QStringLiteral("name")).toString().toStdString();
        XmlRpcResponseParser parser(m.value(QStringLiteral("xml")).toString().toUtf8());
        const QVariant value = parser.parse();
        ASSERT_TRUE(value.isValid()) << name;
        EXPECT_EQ(parser.isFault(), m.value(QStringLiteral("fault")).toBool()) << name;
        const QByteArray got = QJsonDocument::fromVariant(QVariantList { describeXmlRpcValue(value) })
                                   .toJson(QJsonDocument::Compact);
        const QByteArray want = QJsonDocument::fromVariant(QVariantList { m.value(QStringLiteral("expect")) })
                                    .toJson(QJsonDocument::Compact);
        EXPECT_EQ(got, want) << name;
    }
}

QVariant parse(const char *xml, bool *fault = nullptr)
{
    XmlRpcResponseParser p { QByteArray(xml) };
    const QVariant v = p.parse();
    if (fault)
        *fault = p.isFault();
    return v;
}

TEST(XmlRpcResponseParser, EdgeCases)
{
    EXPECT_EQ(parse("<methodResponse><params><param><value>abc</value></param></params></methodResponse>")
                  .toString(),
        QStringLiteral("abc"))
        << "no type tag: a string";
    EXPECT_EQ(parse("<methodResponse><params><param><value><nil/></value></param></params></methodResponse>")
                  .toString(),
        QString())
        << "nil: an empty string";
    EXPECT_EQ(parse("<r><params><param><value><boolean>true</boolean></value></param></params></r>").toBool(),
        false)
        << "only 1 is true";
    const QVariantMap s
        = parse("<r><params><param><value><struct>"
                "<member><value><int> 7 </int></value><name>b</name></member>"
                "<member><name>d</name><value><dateTime.iso8601>yesterday</dateTime.iso8601></value></member>"
                "<member><name>a</name><value><string>1</string></value></member>"
                "<member><name>a</name><value><string>2</string></value></member>"
                "<member><name>e</name><value><dateTime.iso8601>2026-12-09T01:02:03</dateTime.iso8601></"
                "value></member>"
                "</struct></value></param></params></r>")
              .toMap();
    EXPECT_EQ(s.value(QStringLiteral("b")).toLongLong(), 7) << "members in any order";
    EXPECT_FALSE(s.contains(QStringLiteral("d"))) << "an unparsable date is left out";
    EXPECT_EQ(s.value(QStringLiteral("a")).toString(), QStringLiteral("2")) << "the later member wins";
    EXPECT_EQ(s.value(QStringLiteral("e")).toDateTime(), QDateTime(QDate(2026, 12, 9), QTime(1, 2, 3)));

    bool fault = false;
    parse("<methodResponse><fault><value><struct><member><name>faultCode</name><value><int>4</int></value></"
          "member>"
          "</struct></value></fault></methodResponse>",
        &fault);
    EXPECT_TRUE(fault);
    const char *malformed[] = { "", "<methodResponse><params><param><value><int>1</value>", "not xml",
        "<methodResponse><params></params></methodResponse>" };
    for (const char *m : malformed)
        EXPECT_FALSE(parse(m).isValid()) << m;
    EXPECT_FALSE(XmlRpcResponseParser::withData(std::nullopt).has_value());
}

// A response whose value is `depth` values deep: arrays or structs, each
// holding the next.
QByteArray nestedResponse(int depth, bool structs)
{
    const QByteArray open = structs ? "<value><struct><member><name>m</name>" : "<value><array><data>";
    const QByteArray close = structs ? "</member></struct></value>" : "</data></array></value>";
    QByteArray xml = "<?xml version=\"1.0\"?><methodResponse><params><param>";
    xml.reserve(xml.size() + depth * (open.size() + close.size()) + 100);
    for (int i = 1; i < depth; ++i)
        xml += open;
    xml += "<value><int>7</int></value>";
    for (int i = 1; i < depth; ++i)
        xml += close;
    return xml + "</param></params></methodResponse>";
}

// A value nested 60,000 deep overflowed the stack: the nested value was
// built, described and freed recursively. The fuzz corpus keeps an input.
TEST(XmlRpcResponseParser, RegressionDeepNesting)
{
    QFile f(QStringLiteral(TAVRO_FIXTURES_DIR "/../../fuzz/corpus/xmlrpc/regression-deep-nesting.xml"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    XmlRpcResponseParser kept(f.readAll());
    EXPECT_FALSE(kept.parse().isValid());
    EXPECT_EQ(kept.parserError(), QStringLiteral("XML-RPC value nested deeper than 256 levels"));

    struct Case {
        int depth;
        bool structs;
        bool accepted;
    };
    const Case cases[] = {
        { XmlRpcResponseParser::kMaxDepth, false, true },
        { XmlRpcResponseParser::kMaxDepth, true, true },
        { XmlRpcResponseParser::kMaxDepth + 1, false, false },
        { XmlRpcResponseParser::kMaxDepth + 1, true, false },
        { 60000, false, false },
        { 60000, true, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.depth << (c.structs ? " structs" : " arrays"));
        XmlRpcResponseParser parser(nestedResponse(c.depth, c.structs));
        const QVariant value = parser.parse();
        if (!c.accepted) {
            EXPECT_FALSE(value.isValid());
            EXPECT_TRUE(parser.parserError().contains(QStringLiteral("deeper than 256")))
                << parser.parserError().toStdString();
            continue;
        }
        ASSERT_TRUE(value.isValid()) << parser.parserError().toStdString();
        int levels = 1;
        QVariant v = value;
        while (v.metaType().id() == QMetaType::QVariantList || v.metaType().id() == QMetaType::QVariantMap) {
            v = v.metaType().id() == QMetaType::QVariantList ? v.toList().value(0)
                                                             : v.toMap().value(QStringLiteral("m"));
            ++levels;
        }
        EXPECT_EQ(levels, c.depth);
        EXPECT_EQ(v.toLongLong(), 7);
        const QVariant described = describeXmlRpcValue(value);
        ASSERT_TRUE(described.isValid());
        EXPECT_TRUE(isJsonWritable(described)) << "two JSON levels per value stay within the writer's limit";
    }
}

// Built without recursion, and freed the same way: dropping the outer list
// while a copy of the inner one is held only lowers the inner one's count.
QVariant deepList(int depth)
{
    QVariant v = QVariantList { 1 };
    for (int i = 1; i < depth; ++i)
        v = QVariantList { v };
    return v;
}
void freeDeepList(QVariant &v)
{
    while (v.metaType().id() == QMetaType::QVariantList && !v.toList().isEmpty()) {
        QVariant inner = v.toList().first();
        v = QVariant();
        v = std::move(inner);
    }
}

// Values built elsewhere are walked within bounds too: the description and
// the JSON writer refuse what nests too deeply instead of recursing into it.
TEST(XmlRpcResponseParser, ValueWalkersAreBounded)
{
    struct Case {
        int depth;
        bool describable;
        bool writable;
    };
    const Case cases[] = {
        { XmlRpcResponseParser::kMaxDepth, true, true },
        { XmlRpcResponseParser::kMaxDepth + 1, false, true },
        { kMaxJsonDepth, false, true },
        { kMaxJsonDepth + 1, false, false },
        { 200000, false, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.depth);
        QVariant v = deepList(c.depth);
        EXPECT_EQ(describeXmlRpcValue(v).isValid(), c.describable);
        EXPECT_EQ(isJsonWritable(v), c.writable);
        EXPECT_EQ(isWithinJsonDepth(v), c.writable);
        const auto json = compactJson(v);
        EXPECT_EQ(json.has_value(), c.writable);
        if (json) {
            EXPECT_EQ(json->size(), 2 * c.depth + 1) << "[[...[1]...]]";
        }
        freeDeepList(v);
    }
    EXPECT_TRUE(isWithinJsonDepth(QVariant(5), 0)) << "a scalar has no depth";
    EXPECT_FALSE(isWithinJsonDepth(QVariantMap(), 0));
}

// Parsing used to copy each array or struct once per child (100,000 values
// took over a minute); bench_xmlrpc measures the time. Here: all arrive.
TEST(XmlRpcResponseParser, HundredThousandValues)
{
    const int n = 100000;
    QByteArray xml = "<methodResponse><params><param><value><struct>"
                     "<member><name>list</name><value><array><data>";
    for (int i = 0; i < n; ++i)
        xml += "<value><int>" + QByteArray::number(i) + "</int></value>";
    xml += "</data></array></value></member>";
    for (int i = 0; i < n; ++i)
        xml += "<member><name>k" + QByteArray::number(i) + "</name><value><string>v" + QByteArray::number(i)
            + "</string></value></member>";
    xml += "</struct></value></param></params></methodResponse>";

    XmlRpcResponseParser parser(xml);
    const QVariantMap value = parser.parse().toMap();
    ASSERT_EQ(value.size(), n + 1) << parser.parserError().toStdString();
    const QVariantList list = value.value(QStringLiteral("list")).toList();
    ASSERT_EQ(list.size(), n);
    qlonglong sum = 0;
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(list.at(i).toLongLong(), i) << "element " << i;
        sum += list.at(i).toLongLong();
    }
    EXPECT_EQ(sum, qlonglong(n) * (n - 1) / 2);
    EXPECT_EQ(value.value(QStringLiteral("k99999")).toString(), QStringLiteral("v99999"));
}

// Numbers past what a 64-bit integer holds, and doubles written by name
// (as Python writes float("inf")), keep their value; text that is no number
// stays text. None of them turns into a silent 0.
TEST(XmlRpcResponseParser, NumbersKeepTheirValueOrTheirText)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char *xml;
        QVariant want;
    } cases[] = {
        { "<int>9223372036854775807</int>", QVariant(9223372036854775807LL) },
        { "<i4>-9223372036854775808</i4>", QVariant(qlonglong(std::numeric_limits<qlonglong>::min())) },
        { "<int>18446744073709551616</int>", QVariant(18446744073709551616.0) },
        { "<int>-123456789012345678901234567890</int>", QVariant(-123456789012345678901234567890.0) },
        { "<int>twelve</int>", QVariant(QStringLiteral("twelve")) },
        { "<double>inf</double>", QVariant(inf) },
        { "<double>-inf</double>", QVariant(-inf) },
        { "<double>Infinity</double>", QVariant(inf) },
        { "<double>1e999</double>", QVariant(inf) },
        { "<double>-1e999</double>", QVariant(-inf) },
        { "<double>n/a</double>", QVariant(QStringLiteral("n/a")) },
        { "<double>2.5</double>", QVariant(2.5) },
        { "<int>42</int>", QVariant(42LL) },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.xml);
        const QByteArray xml = QByteArray("<methodResponse><params><param><value>") + c.xml
            + "</value></param></params></methodResponse>";
        const QVariant got = parse(xml.constData());
        EXPECT_EQ(got.metaType(), c.want.metaType()) << got.typeName();
        EXPECT_EQ(got, c.want) << got.toString().toStdString();
    }
    const QVariant nan = parse("<methodResponse><params><param><value><double>nan</double></value></param></"
                               "params></methodResponse>");
    EXPECT_EQ(nan.metaType(), QMetaType::fromType<double>());
    EXPECT_TRUE(std::isnan(nan.toDouble()));
    // What the inspector prints: JSON has no infinity, so it is named.
    EXPECT_EQ(describeXmlRpcValue(QVariant(inf)), QVariant(QVariantMap { { "double", "inf" } }));
    EXPECT_EQ(describeXmlRpcValue(QVariant(-inf)), QVariant(QVariantMap { { "double", "-inf" } }));
}

} // namespace
