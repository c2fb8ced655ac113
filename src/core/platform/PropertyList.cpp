#include "PropertyList.h"

#include "core/util/Logging.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace
{

constexpr int kMaxDepth = 256; // deeper nesting is treated as malformed

QVariant readValue(QXmlStreamReader &xml, int depth, bool &ok);

QVariantMap readDict(QXmlStreamReader &xml, int depth, bool &ok)
{
    QVariantMap map;
    QString key;
    bool haveKey = false;
    while (ok && xml.readNextStartElement()) {
        if (xml.name() == u"key") {
            key = xml.readElementText();
            haveKey = true;
            continue;
        }
        if (!haveKey) {
            ok = false;
            break;
        }
        const QVariant v = readValue(xml, depth + 1, ok);
        if (ok)
            map.insert(key, v);
        haveKey = false;
    }
    if (haveKey)
        ok = false; // a key without a value
    return map;
}

QVariantList readArray(QXmlStreamReader &xml, int depth, bool &ok)
{
    QVariantList list;
    while (ok && xml.readNextStartElement())
        list.append(readValue(xml, depth + 1, ok));
    return list;
}

QVariant readValue(QXmlStreamReader &xml, int depth, bool &ok)
{
    if (depth > kMaxDepth) {
        ok = false;
        return {};
    }
    const auto name = xml.name();
    if (name == u"dict")
        return readDict(xml, depth, ok);
    if (name == u"array")
        return readArray(xml, depth, ok);
    if (name == u"string")
        return xml.readElementText();
    if (name == u"integer") {
        bool isInt = false;
        const qlonglong n = xml.readElementText().trimmed().toLongLong(&isInt);
        ok = ok && isInt;
        return n;
    }
    if (name == u"real") {
        bool isReal = false;
        const double d = xml.readElementText().trimmed().toDouble(&isReal);
        ok = ok && isReal;
        return d;
    }
    if (name == u"true" || name == u"false") {
        const bool value = name == u"true";
        xml.skipCurrentElement();
        return value;
    }
    if (name == u"date") {
        const QDateTime dt = QDateTime::fromString(xml.readElementText().trimmed(), Qt::ISODate);
        ok = ok && dt.isValid();
        return dt;
    }
    if (name == u"data") {
        QString text = xml.readElementText();
        text.remove(QRegularExpression(QStringLiteral("\\s")));
        return QByteArray::fromBase64(text.toLatin1());
    }
    ok = false;
    return {};
}

void writeValue(QXmlStreamWriter &xml, const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::QVariantMap: {
        xml.writeStartElement(QStringLiteral("dict"));
        const QVariantMap m = v.toMap();
        for (auto it = m.cbegin(); it != m.cend(); ++it) {
            const int t = it.value().metaType().id();
            if (t == QMetaType::UnknownType || t == QMetaType::Nullptr)
                continue;
            xml.writeTextElement(QStringLiteral("key"), it.key());
            writeValue(xml, it.value());
        }
        xml.writeEndElement();
        break;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        xml.writeStartElement(QStringLiteral("array"));
        for (const QVariant &e : v.toList())
            writeValue(xml, e);
        xml.writeEndElement();
        break;
    }
    case QMetaType::Bool:
        xml.writeEmptyElement(v.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        xml.writeTextElement(QStringLiteral("integer"), v.toString());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        xml.writeTextElement(
            QStringLiteral("real"), QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest));
        break;
    case QMetaType::QDateTime:
        xml.writeTextElement(QStringLiteral("date"), v.toDateTime().toUTC().toString(Qt::ISODate));
        break;
    case QMetaType::QByteArray:
        xml.writeTextElement(QStringLiteral("data"), QString::fromLatin1(v.toByteArray().toBase64()));
        break;
    default:
        xml.writeTextElement(QStringLiteral("string"), v.toString());
        break;
    }
}

} // namespace

std::optional<QVariantMap> PropertyList::parse(const QByteArray &bytes)
{
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != u"plist")
        return std::nullopt;
    if (!xml.readNextStartElement() || xml.name() != u"dict")
        return std::nullopt;
    bool ok = true;
    QVariantMap map = readDict(xml, 0, ok);
    // Read to the end so that a truncated document is noticed.
    while (ok && !xml.atEnd())
        xml.readNext();
    if (!ok || xml.hasError())
        return std::nullopt;
    return map;
}

std::optional<QVariantMap> PropertyList::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parse(file.readAll());
}

QByteArray PropertyList::serialize(const QVariantMap &dictionary)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(-1);
    xml.writeStartDocument();
    xml.writeDTD(QStringLiteral("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"));
    xml.writeStartElement(QStringLiteral("plist"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    writeValue(xml, dictionary);
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

bool PropertyList::write(const QVariantMap &dictionary, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcApp) << "cannot write" << path << file.errorString();
        return false;
    }
    file.write(serialize(dictionary));
    if (!file.commit()) {
        qCWarning(lcApp) << "cannot write" << path << file.errorString();
        return false;
    }
    return true;
}
