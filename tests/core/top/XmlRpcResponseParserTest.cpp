// The XML-RPC response parser against answers written by Python's own
// xmlrpc.client, a peer we did not write.
#include "top/XmlRpcDescription.h"
#include "top/XmlRpcResponseParser.h"

#include <QJsonDocument>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

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
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(kPython)});
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
        const QByteArray got = QJsonDocument::fromVariant(QVariantList{describeXmlRpcValue(value)}).toJson(QJsonDocument::Compact);
        const QByteArray want = QJsonDocument::fromVariant(QVariantList{m.value(QStringLiteral("expect"))}).toJson(QJsonDocument::Compact);
        EXPECT_EQ(got, want) << name;
    }
}

QVariant parse(const char *xml, bool *fault = nullptr)
{
    XmlRpcResponseParser p{QByteArray(xml)};
    const QVariant v = p.parse();
    if (fault)
        *fault = p.isFault();
    return v;
}

TEST(XmlRpcResponseParser, EdgeCases)
{
    EXPECT_EQ(parse("<methodResponse><params><param><value>abc</value></param></params></methodResponse>").toString(),
              QStringLiteral("abc")) << "no type tag: a string";
    EXPECT_EQ(parse("<methodResponse><params><param><value><nil/></value></param></params></methodResponse>").toString(),
              QString()) << "nil: an empty string";
    EXPECT_EQ(parse("<r><params><param><value><boolean>true</boolean></value></param></params></r>").toBool(), false)
        << "only 1 is true";
    const QVariantMap s = parse("<r><params><param><value><struct>"
                                "<member><value><int> 7 </int></value><name>b</name></member>"
                                "<member><name>d</name><value><dateTime.iso8601>yesterday</dateTime.iso8601></value></member>"
                                "<member><name>a</name><value><string>1</string></value></member>"
                                "<member><name>a</name><value><string>2</string></value></member>"
                                "<member><name>e</name><value><dateTime.iso8601>2026-12-09T01:02:03</dateTime.iso8601></value></member>"
                                "</struct></value></param></params></r>")
                              .toMap();
    EXPECT_EQ(s.value(QStringLiteral("b")).toLongLong(), 7) << "members in any order";
    EXPECT_FALSE(s.contains(QStringLiteral("d"))) << "an unparsable date is left out";
    EXPECT_EQ(s.value(QStringLiteral("a")).toString(), QStringLiteral("2")) << "the later member wins";
    EXPECT_EQ(s.value(QStringLiteral("e")).toDateTime(), QDateTime(QDate(2026, 12, 9), QTime(1, 2, 3)));

    bool fault = false;
    parse("<methodResponse><fault><value><struct><member><name>faultCode</name><value><int>4</int></value></member>"
          "</struct></value></fault></methodResponse>", &fault);
    EXPECT_TRUE(fault);
    const char *malformed[] = {"", "<methodResponse><params><param><value><int>1</value>", "not xml",
                               "<methodResponse><params></params></methodResponse>"};
    for (const char *m : malformed)
        EXPECT_FALSE(parse(m).isValid()) << m;
    EXPECT_FALSE(XmlRpcResponseParser::withData(std::nullopt).has_value());
}

} // namespace
