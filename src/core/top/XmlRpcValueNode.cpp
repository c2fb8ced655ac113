#include "XmlRpcValueNode.h"

#include "core/util/DataHelpers.h"
#include "core/util/Logging.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cmath>
#include <limits>

XmlRpcValueNode::XmlRpcValueNode(XmlRpcValueNode *parent, Arena *arena)
    : m_parent(parent)
    , m_arena(arena)
    , m_value(QString())
{
}

void XmlRpcValueNode::setElementType(int type)
{
    m_type = type;
    if (type == Array)
        m_value = QVariantList();
    else if (type == Struct)
        m_value = QVariantMap();
}

XmlRpcValueNode *XmlRpcValueNode::startElement(const QString &name)
{
    if (name == u"value" || name == u"member" || name == u"name") {
        m_arena->push_back(std::make_unique<XmlRpcValueNode>(this, m_arena));
        XmlRpcValueNode *child = m_arena->back().get();
        child->m_depth = name == u"value" ? m_depth + 1 : m_depth;
        if (name == u"member")
            child->m_type = Member;
        else if (name == u"name")
            child->m_type = Name;
        return child;
    }
    static const QHash<QString, int> types {
        { QStringLiteral("array"), Array },
        { QStringLiteral("struct"), Struct },
        { QStringLiteral("int"), Integer },
        { QStringLiteral("i4"), Integer },
        { QStringLiteral("double"), Double },
        { QStringLiteral("boolean"), Boolean },
        { QStringLiteral("string"), String },
        { QStringLiteral("dateTime.iso8601"), Date },
        { QStringLiteral("base64"), Binary },
    };
    const auto it = types.constFind(name);
    if (it != types.cend())
        setElementType(it.value());
    return this;
}

void XmlRpcValueNode::characters(const QString &text)
{
    if (m_type == Array || isDictionaryElementType(m_type))
        return;
    m_text += text;
}

XmlRpcValueNode *XmlRpcValueNode::endElement(const QString &name, bool *finished)
{
    *finished = false;
    if (name != u"value" && name != u"member" && name != u"name")
        return this;
    finish();
    *finished = true;
    giveToParent();
    return m_parent;
}

void XmlRpcValueNode::finish()
{
    if (m_type == Array || isDictionaryElementType(m_type))
        return;
    const QString text = m_text.trimmed();
    switch (m_type) {
    case Integer:
        m_value = parseInteger(text);
        break;
    case Double:
        m_value = parseDouble(text);
        break;
    case Boolean:
        m_value = parseBoolean(text);
        break;
    case Date:
        m_value = parseDate(text);
        break;
    case Binary:
        m_value = parseData(text);
        break;
    default:
        m_value = parseString(text);
        break;
    }
}

// The value moves: this node is finished and never reads it again. The
// parent's container is changed in place (it is not shared, so nothing is
// copied); copying it out and back for each child made parsing quadratic.
void XmlRpcValueNode::giveToParent()
{
    if (!m_parent || !m_value.isValid())
        return;
    QVariant &target = m_parent->m_value;
    switch (m_parent->m_type) {
    case Member:
        if (m_type == Name)
            m_parent->m_key = m_value.toString();
        else
            target = std::move(m_value);
        break;
    case Struct:
        if (target.metaType() != QMetaType::fromType<QVariantMap>())
            break;
        if (isJsonNull(m_value))
            static_cast<QVariantMap *>(target.data())->remove(m_key);
        else
            static_cast<QVariantMap *>(target.data())->insert(m_key, std::move(m_value));
        break;
    case Array:
        if (target.metaType() == QMetaType::fromType<QVariantList>())
            static_cast<QVariantList *>(target.data())->append(std::move(m_value));
        break;
    default:
        break;
    }
    m_value = QVariant();
}

// Numbers keep their value whatever their size: an integer beyond 64 bits
// becomes a double, and text that holds no number stays text (logged), so
// that nothing unreadable passes for a 0.
QVariant XmlRpcValueNode::parseInteger(const QString &text)
{
    static const QRegularExpression leading(QStringLiteral("^[+-]?\\d+"));
    const auto m = leading.match(text);
    if (!m.hasMatch()) {
        qCWarning(lcTop) << "XML-RPC integer" << text << "is no number; kept as text";
        return text;
    }
    bool ok = false;
    const qlonglong value = m.captured(0).toLongLong(&ok);
    if (ok)
        return value;
    const double wide = m.captured(0).toDouble(&ok);
    if (ok && std::isfinite(wide))
        return wide;
    qCWarning(lcTop) << "XML-RPC integer" << text << "is out of range; kept as text";
    return text;
}

QVariant XmlRpcValueNode::parseDouble(const QString &text)
{
    // Python and C libraries write infinities and NaN by name.
    const QString name = text.toLower();
    if (name == u"inf" || name == u"+inf" || name == u"infinity" || name == u"+infinity")
        return std::numeric_limits<double>::infinity();
    if (name == u"-inf" || name == u"-infinity")
        return -std::numeric_limits<double>::infinity();
    if (name == u"nan" || name == u"+nan" || name == u"-nan")
        return std::numeric_limits<double>::quiet_NaN();
    static const QRegularExpression leading(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
    const auto m = leading.match(text);
    if (!m.hasMatch()) {
        qCWarning(lcTop) << "XML-RPC double" << text << "is no number; kept as text";
        return text;
    }
    bool ok = false;
    const double value = m.captured(0).toDouble(&ok);
    if (ok)
        return value;
    // Beyond the range of a double: its sign and size say infinity.
    return m.captured(0).startsWith(u'-') ? -std::numeric_limits<double>::infinity()
                                          : std::numeric_limits<double>::infinity();
}

QVariant XmlRpcValueNode::parseBoolean(const QString &text)
{
    return text == u"1";
}

QVariant XmlRpcValueNode::parseString(const QString &text)
{
    return text;
}

QVariant XmlRpcValueNode::parseDate(const QString &text)
{
    for (const QString &format :
        { QStringLiteral("yyyyMMdd'T'HH:mm:ss"), QStringLiteral("yyyy'-'MM'-'dd'T'HH:mm:ss") }) {
        const QDateTime dt = QDateTime::fromString(text, format);
        if (dt.isValid())
            return dt;
    }
    return QVariant::fromValue(nullptr);
}

QVariant XmlRpcValueNode::parseData(const QString &text)
{
    QByteArray compact = text.toLatin1();
    compact.replace(' ', "").replace('\n', "").replace('\r', "").replace('\t', "");
    const auto decoded = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return QVariant::fromValue(nullptr);
    return *decoded;
}
